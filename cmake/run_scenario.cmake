# Runs one scenario file through corvane-sim in a fresh copy of the game
# folder. Inputs: GAME_DIR, WORK_DIR, SCENARIO, SIM, EMULATOR (may be empty),
# HOLDER (the log_holder tool, for "# hold-log:"), ENGINE (the engine the
# plug-in's start-up line must name, when it names one), IMAGE (the
# executable the miniature game image models; empty for the default),
# DIFFERENTIAL (true:
# afterwards run the file again with the simulated engine table and require
# the same output; see below). The header directives are listed in
# cmake/scenarios.cmake and docs/corvane-sim-development.md.
# Run with cmake -P, where no project sets the policies: without this,
# if(TRUE) and the other constants would silently read as false (CMP0012).
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY ${GAME_DIR}/ DESTINATION ${WORK_DIR})

set(expect_exit 0)
set(sim_args "")
set(hold_log "")
set(crlf_files "")
set(stdout_wanted "")
set(stdout_unwanted "")
set(stderr_wanted "")
file(STRINGS ${SCENARIO} header LIMIT_COUNT 10)
foreach(line ${header})
  if(line MATCHES "^# expect-exit: *([0-9]+)")
    set(expect_exit ${CMAKE_MATCH_1})
  elseif(line MATCHES "^# sim-args: *(.*)$")
    # @SCENARIO@ stands for the scenario's own path.
    string(REPLACE [[@SCENARIO@]] "${SCENARIO}" args_line "${CMAKE_MATCH_1}")
    separate_arguments(sim_args UNIX_COMMAND "${args_line}")
  elseif(line MATCHES "^# expect-stdout: *(.+)$")
    list(APPEND stdout_wanted "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^# reject-stdout: *(.+)$")
    list(APPEND stdout_unwanted "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^# expect-stderr: *(.+)$")
    list(APPEND stderr_wanted "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^# engine: *([a-z]+)")
    set(ENGINE ${CMAKE_MATCH_1})
  elseif(line MATCHES "^# hold-log: *(.+)$")
    set(hold_log "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^# expect-crlf: *\"(.+)\"$")
    string(REPLACE "\\" "/" crlf_path "${CMAKE_MATCH_1}")
    list(APPEND crlf_files "${crlf_path}")
  endif()
endforeach()

# Wine hands the variable on to the Windows program.
if(NOT "${IMAGE}" STREQUAL "")
  set(ENV{CORVANE_GAME_IMAGE} "${IMAGE}")
endif()

set(launcher ${EMULATOR})
if(NOT hold_log STREQUAL "")
  if(NOT HOLDER)
    message(FATAL_ERROR "# hold-log: needs the log_holder tool")
  endif()
  list(APPEND launcher ${HOLDER} ${hold_log})
endif()

# A run that has printed its summary gets this many seconds to exit; then
# cmake/exit_watch.sh ends it, and the test fails saying so.
set(exit_grace 30)
set(watch sh ${CMAKE_CURRENT_LIST_DIR}/exit_watch.sh ${exit_grace})
function(fail_if_ended what)
  if(err MATCHES "exit-watch: ")
    message(FATAL_ERROR "${what}: corvane-sim printed its summary but did not exit within "
                        "${exit_grace} s, and was ended (a hang at exit; see cmake/exit_watch.sh)")
  endif()
endfunction()

execute_process(
  COMMAND ${watch} ${launcher} ${WORK_DIR}/${SIM} ${sim_args} ${SCENARIO}
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  TIMEOUT 300)
set(first_rc "${rc}")
set(first_out "${out}")
set(first_err "${err}")
message("${out}")
if(NOT "${err}" STREQUAL "")
  message("stderr:\n${err}")
endif()
fail_if_ended("the run")
if(NOT "${rc}" STREQUAL "${expect_exit}")
  message(FATAL_ERROR "corvane-sim exited with ${rc}, expected ${expect_exit}")
endif()

# Texts (plain text, not patterns) that standard output or error must hold,
# or that standard output must not hold.
foreach(text IN LISTS stdout_wanted)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expect-stdout: no \"${text}\" on standard output")
  endif()
endforeach()
foreach(text IN LISTS stdout_unwanted)
  string(FIND "${out}" "${text}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "reject-stdout: \"${text}\" on standard output")
  endif()
endforeach()
foreach(text IN LISTS stderr_wanted)
  string(FIND "${err}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expect-stderr: no \"${text}\" on standard error")
  endif()
endforeach()

# Fails the run when a log the plug-in wrote in WORK_DIR names another
# engine on its start-up line than the one expected.
function(require_engine expected what)
  file(GLOB logs ${WORK_DIR}/corvane.log*)
  foreach(log IN LISTS logs)
    file(STRINGS ${log} engines REGEX "engine: ")
    foreach(line IN LISTS engines)
      if(NOT line MATCHES "engine: ${expected}$")
        message(FATAL_ERROR "${what} bound another engine than ${expected}: ${line}")
      endif()
    endforeach()
  endforeach()
endfunction()

# The engine the plug-in bound, as its start-up line names it.
if(NOT "${ENGINE}" STREQUAL "")
  require_engine(${ENGINE} "the plug-in")
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

# The differential run (Windows build): the same file, in a fresh copy at the
# same place, with the world served by the simulated engine table (as on
# Linux) instead of laid out in the miniature game image; the two runs must
# be the same (cmake/compare_runs.cmake).
if(DIFFERENTIAL)
  include(${CMAKE_CURRENT_LIST_DIR}/compare_runs.cmake)
  file(REMOVE_RECURSE ${WORK_DIR})
  file(MAKE_DIRECTORY ${WORK_DIR})
  file(COPY ${GAME_DIR}/ DESTINATION ${WORK_DIR})
  execute_process(
    COMMAND ${watch} ${launcher} ${WORK_DIR}/${SIM} --engine table ${sim_args} ${SCENARIO}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 300)
  fail_if_ended("differential run")
  corvane_compare_runs(verdict "${first_rc}" "${first_out}" "${first_err}" "${rc}" "${out}" "${err}")
  if(NOT verdict STREQUAL "")
    message(FATAL_ERROR "differential run: ${verdict}\n"
                        "(the engine table's run:)\n${out}\n${err}")
  endif()
  # The table run bound the simulated engine, where the log names one.
  require_engine(simulator "differential run: --engine table")
  message("differential run: the same with the engine table")
endif()
