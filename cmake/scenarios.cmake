# Registers every *.scn file below a folder as a CTest test that runs through
# corvane-sim in a fresh copy of the game folder.
#
# A scenario may say in its first lines:
#   # expect-exit: N      the exit status that passes (default 0)
#   # sim-args: ARGS...   extra arguments before the file name (@SCENARIO@
#                         stands for the file's own path)
#   # expect-stdout: TEXT standard output holds TEXT (plain text, any number
#                         of these lines)
#   # reject-stdout: TEXT standard output does not hold TEXT
#   # expect-stderr: TEXT standard error holds TEXT
#   # hold-log: NAME      another process holds the log file NAME while it runs
#   # expect-crlf: "PATH" afterwards PATH (below the game root, backslashes
#                         allowed) exists and every line ends with CR LF
#   # engine: NAME        the engine the plug-in's log names, when it names one
#                         (default: "game" in the Windows build, where the
#                         simulator lays its world out in a miniature game
#                         image, "simulator" elsewhere)
#   # image: VARIANT      the miniature game image models this executable
#                         (CORVANE_GAME_IMAGE, sim/image/game_image_sections.h); a
#                         scenario with it runs in the Windows build only
#   # host-throws: yes    the host throws C++ exceptions into the plug-in. The
#                         Windows DLL links its C++ run-time statically, so an
#                         exception from the host's run-time cannot unwind
#                         through it (as with the game's own host, which never
#                         throws into a plug-in): such a scenario is reported
#                         as not run (disabled) in the Windows build.
#
# In the Windows build every other scenario runs once more on each executable
# the image can model besides the default one, as scenario.NAME@VARIANT; the
# default run also runs the file a second time with the simulated engine
# table (the differential run).
set(corvane_image_variants rdata-writable text-writable extra-section)

function(corvane_add_scenario name scn engine image differential)
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND}
      -DGAME_DIR=${CORVANE_GAME_DIR}
      -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/scenario-work/${name}
      -DSCENARIO=${scn}
      -DSIM=corvane-sim${CMAKE_EXECUTABLE_SUFFIX}
      "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
      "-DHOLDER=$<$<TARGET_EXISTS:log_holder>:$<TARGET_FILE:log_holder>>"
      -DENGINE=${engine}
      "-DIMAGE=${image}"
      -DDIFFERENTIAL=${differential}
      -P ${PROJECT_SOURCE_DIR}/cmake/run_scenario.cmake)
endfunction()

function(corvane_add_scenarios root)
  if(NOT TARGET corvane-sim)
    message(STATUS "corvane-sim is not part of this tree yet: no scenario tests")
    return()
  endif()
  if(WIN32)
    # Where the world is laid out in the game image, every scenario runs a
    # second time with the simulated engine table (the differential run).
    set(engine game)
    set(differential ON)
  else()
    set(engine simulator)
    set(differential OFF)
  endif()
  file(GLOB_RECURSE scenarios CONFIGURE_DEPENDS ${root}/*.scn)
  foreach(scn ${scenarios})
    file(RELATIVE_PATH rel ${root} ${scn})
    string(REGEX REPLACE "\\.scn$" "" name ${rel})
    string(REPLACE "/" "." name ${name})
    file(STRINGS ${scn} header LIMIT_COUNT 10)
    set(image "")
    if(header MATCHES "# image: *([a-zA-Z-]+)")
      set(image ${CMAKE_MATCH_1})
    endif()
    # A scenario for one modelled executable shows that executable's seams
    # (a broken class, say), which the engine table has none of.
    if(image STREQUAL "")
      set(diff ${differential})
    else()
      set(diff OFF)
    endif()
    corvane_add_scenario(scenario.${name} ${scn} ${engine} "${image}" ${diff})
    if(WIN32 AND header MATCHES "# host-throws: *yes")
      set_tests_properties(scenario.${name} PROPERTIES DISABLED TRUE)
      message(STATUS "scenario.${name}: the host throws into the DLL; not run in this build")
    elseif(NOT WIN32 AND NOT image STREQUAL "")
      set_tests_properties(scenario.${name} PROPERTIES DISABLED TRUE)
    elseif(WIN32 AND image STREQUAL "")
      foreach(variant ${corvane_image_variants})
        corvane_add_scenario(scenario.${name}@${variant} ${scn} ${engine} ${variant} OFF)
      endforeach()
    endif()
  endforeach()
endfunction()
