# The differential run's comparison (cmake/run_scenario.cmake): one scenario
# run with the world laid out in the miniature game image, then with the
# simulated engine table. One game in both: the exit status, standard output
# and standard error must be the same, line for line, but for the engine the
# start-up line names and the names of --fresh's temporary folders.
#
# corvane_compare_runs(<verdict> <image rc> <image out> <image err>
#                      <table rc> <table out> <table err>)
# sets <verdict> to the empty text when the runs are the same, else to what
# differs first.

# The text with what may differ between the two runs made alike.
function(corvane_normalise_run text out_var)
  string(REGEX REPLACE "engine: (game|simulator)" "engine: *" text "${text}")
  string(REGEX REPLACE "corvane-sim-[0-9a-f]+" "corvane-sim-*" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

function(corvane_compare_runs verdict image_rc image_out image_err table_rc table_out table_err)
  set(${verdict} "" PARENT_SCOPE)
  if(NOT "${image_rc}" STREQUAL "${table_rc}")
    set(${verdict} "exit status ${image_rc} with the game image, ${table_rc} with the engine table"
        PARENT_SCOPE)
    return()
  endif()
  foreach(stream out err)
    corvane_normalise_run("${image_${stream}}" image_text)
    corvane_normalise_run("${table_${stream}}" table_text)
    if("${image_text}" STREQUAL "${table_text}")
      continue()
    endif()
    # Lines as list elements: a semicolon or a bracket in a line is no list
    # syntax, and an empty line stays a line.
    foreach(side image table)
      string(REPLACE ";" "<semicolon>" text "${${side}_text}")
      string(REPLACE "[" "<open>" text "${text}")
      string(REPLACE "]" "<close>" text "${text}")
      string(REPLACE "\n" ";" lines "${text}")
      set(${side}_lines "${lines}")
    endforeach()
    # The store walks its values in the order of a hash seeded afresh in
    # every process, so the lines a save or a load logs per value come in
    # another order in each run: the same lines in another order pass.
    set(sorted_image "${image_lines}")
    set(sorted_table "${table_lines}")
    list(SORT sorted_image)
    list(SORT sorted_table)
    if("${sorted_image}" STREQUAL "${sorted_table}")
      continue()
    endif()
    # The first line that differs.
    list(LENGTH image_lines na)
    list(LENGTH table_lines nb)
    set(i 0)
    while(i LESS na OR i LESS nb)
      set(la "<end>")
      set(lb "<end>")
      if(i LESS na)
        list(GET image_lines ${i} la)
      endif()
      if(i LESS nb)
        list(GET table_lines ${i} lb)
      endif()
      if(NOT "${la}" STREQUAL "${lb}")
        break()
      endif()
      math(EXPR i "${i} + 1")
    endwhile()
    math(EXPR line "${i} + 1")
    foreach(l la lb)
      string(REPLACE "<semicolon>" ";" ${l} "${${l}}")
      string(REPLACE "<open>" "[" ${l} "${${l}}")
      string(REPLACE "<close>" "]" ${l} "${${l}}")
    endforeach()
    set(${verdict} "std${stream} line ${line} differs:\n  game image:   ${la}\n  engine table: ${lb}"
        PARENT_SCOPE)
    return()
  endforeach()
endfunction()
