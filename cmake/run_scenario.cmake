# Runs one scenario file through corvane-sim in a fresh copy of the game
# folder. Inputs: GAME_DIR, WORK_DIR, SCENARIO, SIM, EMULATOR (may be empty),
# HOLDER (the log_holder tool, for "# hold-log:"), ENGINE (the engine the
# plug-in's start-up line must name, when it names one).
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY ${GAME_DIR}/ DESTINATION ${WORK_DIR})

set(expect_exit 0)
set(sim_args "")
set(hold_log "")
set(crlf_files "")
file(STRINGS ${SCENARIO} header LIMIT_COUNT 10)
foreach(line ${header})
  if(line MATCHES "^# expect-exit: *([0-9]+)")
    set(expect_exit ${CMAKE_MATCH_1})
  elseif(line MATCHES "^# sim-args: *(.*)$")
    separate_arguments(sim_args UNIX_COMMAND "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^# engine: *([a-z]+)")
    set(ENGINE ${CMAKE_MATCH_1})
  elseif(line MATCHES "^# hold-log: *(.+)$")
    set(hold_log "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^# expect-crlf: *\"(.+)\"$")
    string(REPLACE "\\" "/" crlf_path "${CMAKE_MATCH_1}")
    list(APPEND crlf_files "${crlf_path}")
  endif()
endforeach()

set(launcher ${EMULATOR})
if(NOT hold_log STREQUAL "")
  if(NOT HOLDER)
    message(FATAL_ERROR "# hold-log: needs the log_holder tool")
  endif()
  list(APPEND launcher ${HOLDER} ${hold_log})
endif()

execute_process(
  COMMAND ${launcher} ${WORK_DIR}/${SIM} ${sim_args} ${SCENARIO}
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

# The engine the plug-in bound, as its start-up line names it.
if(EXISTS ${WORK_DIR}/corvane.log AND NOT "${ENGINE}" STREQUAL "")
  file(STRINGS ${WORK_DIR}/corvane.log engines REGEX "engine: ")
  foreach(line IN LISTS engines)
    if(NOT line MATCHES "engine: ${ENGINE}$")
      message(FATAL_ERROR "the plug-in bound another engine than ${ENGINE}: ${line}")
    endif()
  endforeach()
endif()

# Files that must exist with every line ended by CR LF (no lone LF or CR).
foreach(rel IN LISTS crlf_files)
  set(path ${WORK_DIR}/${rel})
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "expect-crlf: ${rel} does not exist")
  endif()
  file(READ ${path} hex HEX)
  if(hex STREQUAL "")
    message(FATAL_ERROR "expect-crlf: ${rel} is empty")
  endif()
  string(REGEX MATCHALL ".." bytes "${hex}")
  set(prev "")
  set(pos 0)
  foreach(b IN LISTS bytes)
    if(b STREQUAL "0a" AND NOT prev STREQUAL "0d")
      message(FATAL_ERROR "expect-crlf: ${rel} has a line feed without CR at byte ${pos}")
    endif()
    if(prev STREQUAL "0d" AND NOT b STREQUAL "0a")
      message(FATAL_ERROR "expect-crlf: ${rel} has a CR without line feed at byte ${pos}")
    endif()
    set(prev "${b}")
    math(EXPR pos "${pos} + 1")
  endforeach()
  if(NOT prev STREQUAL "0a")
    message(FATAL_ERROR "expect-crlf: ${rel} does not end with CR LF")
  endif()
  message("expect-crlf: ${rel} ok")
endforeach()
