# The differential run's comparison (cmake/compare_runs.cmake), case by
# case: runs that differ in their exit status, a line, a blank line, a
# line's order within a differing set or a line holding list syntax fail;
# runs that differ only in the engine's name, the temporary folders' names
# or the order of the same lines pass. Each case that goes wrong is
# reported, and the script then fails.
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/compare_runs.cmake)

set(failures 0)
# check(<case> <verdict wanted: "" for the same, else text it holds>
#       <image rc> <image out> <image err> <table rc> <table out> <table err>)
function(check name wanted image_rc image_out image_err table_rc table_out table_err)
  corvane_compare_runs(verdict "${image_rc}" "${image_out}" "${image_err}" "${table_rc}"
                       "${table_out}" "${table_err}")
  set(ok TRUE)
  if(wanted STREQUAL "")
    if(NOT verdict STREQUAL "")
      set(ok FALSE)
    endif()
  else()
    string(FIND "${verdict}" "${wanted}" at)
    if(at EQUAL -1)
      set(ok FALSE)
    endif()
  endif()
  if(NOT ok)
    message(SEND_ERROR "${name}: wanted \"${wanted}\", the comparison gave \"${verdict}\"")
    math(EXPR n "${failures} + 1")
    set(failures ${n} PARENT_SCOPE)
  endif()
endfunction()

set(log "Corvane 19 started, engine: game\nGame check: 3 forms\n2 checks, 0 failed\n")
set(table_log "Corvane 19 started, engine: simulator\nGame check: 3 forms\n2 checks, 0 failed\n")

check("the same runs" "" 0 "${log}" "" 0 "${log}" "")
check("only the engine's name differs" "" 0 "${log}" "" 0 "${table_log}" "")
check("only the temporary folders differ" ""
  0 "made corvane-sim-1a2b3c\n" "" 0 "made corvane-sim-9f8e\n" "")
check("the same lines in another order" ""
  0 "saved a\nsaved b\nsaved c\n" "" 0 "saved c\nsaved a\nsaved b\n" "")
check("nothing printed" "" 0 "" "" 0 "" "")
check("another exit status" "exit status 0 with the game image, 1 with the engine table"
  0 "${log}" "" 1 "${log}" "")
check("a crash under one" "exit status 0 with the game image, 3221225477 with the engine table"
  0 "${log}" "" 3221225477 "${log}" "")
check("a line differs" "stdout line 2 differs:\n  game image:   Game check: 3 forms\n  engine table: Game check: 2 forms"
  0 "${log}" "" 0 "Corvane 19 started, engine: simulator\nGame check: 2 forms\n2 checks, 0 failed\n" "")
check("a line more" "stdout line 3 differs"
  0 "a\nb\n" "" 0 "a\nb\nextra\n" "")
check("a line fewer" "engine table: <end>"
  0 "a\nb\nc" "" 0 "a\nb" "")
check("a blank line more" "stdout line 2 differs"
  0 "a\nb\n" "" 0 "a\n\nb\n" "")
check("a line repeated" "stdout"
  0 "a\nb\n" "" 0 "a\nb\nb\n" "")
check("standard error differs" "stderr line 1 differs"
  0 "${log}" "warning: x\n" 0 "${log}" "warning: y\n")
check("standard error only under one" "stderr line 1 differs"
  0 "${log}" "" 0 "${log}" "corvane-sim: the game's address range cannot be had\n")
check("a semicolon in a line" "stdout line 1 differs:\n  game image:   a;b\n  engine table: a;c"
  0 "a;b\n" "" 0 "a;c\n" "")
check("a semicolon against a line break" "stdout line 1 differs"
  0 "a;b\n" "" 0 "a\nb\n" "")
check("a bracket across lines" "stdout line 2 differs"
  0 "x [\nfirst\nsecond ]\n" "" 0 "x [\nsecond\nfirst ]\n" "")
check("an unbalanced bracket" "stdout line 3 differs"
  0 "[\na\nb\n" "" 0 "[\na\nc\n" "")
check("another engine named elsewhere" "stdout line 1 differs"
  0 "engine: game, 2 mods\n" "" 0 "engine: simulator, 3 mods\n" "")

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} cases of the differential comparison failed")
endif()
message("the differential comparison: every case as wanted")
