# Runs one scenario file through corvane-sim in a fresh copy of the game
# folder. Inputs: GAME_DIR, WORK_DIR, SCENARIO, SIM, EMULATOR (may be empty).
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY ${GAME_DIR}/ DESTINATION ${WORK_DIR})

set(expect_exit 0)
set(sim_args "")
file(STRINGS ${SCENARIO} header LIMIT_COUNT 10)
foreach(line ${header})
  if(line MATCHES "^# expect-exit: *([0-9]+)")
    set(expect_exit ${CMAKE_MATCH_1})
  elseif(line MATCHES "^# sim-args: *(.*)$")
    separate_arguments(sim_args UNIX_COMMAND "${CMAKE_MATCH_1}")
  endif()
endforeach()

execute_process(
  COMMAND ${EMULATOR} ${WORK_DIR}/${SIM} ${sim_args} ${SCENARIO}
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  TIMEOUT 300)
message("${out}")
if(NOT "${err}" STREQUAL "")
  message("stderr:\n${err}")
endif()
if(NOT "${rc}" STREQUAL "${expect_exit}")
  message(FATAL_ERROR "corvane-sim exited with ${rc}, expected ${expect_exit}")
endif()
