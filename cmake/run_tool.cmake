# Runs a command-line tool once and checks what it did. Inputs:
#   TOOL         the executable; EMULATOR runs it when set (Wine)
#   ARGS         its arguments, a list separated by "|"
#   WORK_DIR     made empty, then the current folder of the run
#   GAME_DIR     when set, copied into WORK_DIR first, and TOOL is the name
#                of the executable inside the copy
#   FILES        files to make below WORK_DIR first ("|"-separated paths)
#   EXPECT_EXIT  the exit status that passes (default 0)
#   STDOUT, STDERR   texts ("|"-separated) that the output must hold
#   NOT_STDOUT   texts that standard output must not hold
#   PRESENT, ABSENT  paths below WORK_DIR that must exist, or not, afterwards
# Run with cmake -P, where no project sets the policies: without this,
# if(TRUE) and the other constants would silently read as false (CMP0012).
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(tool ${TOOL})
if(GAME_DIR)
  file(COPY ${GAME_DIR}/ DESTINATION ${WORK_DIR})
  set(tool ${WORK_DIR}/${TOOL})
endif()
foreach(var ARGS FILES STDOUT STDERR NOT_STDOUT PRESENT ABSENT)
  string(REPLACE "|" ";" ${var} "${${var}}")
endforeach()
foreach(f IN LISTS FILES)
  file(WRITE ${WORK_DIR}/${f} "")
endforeach()
if(NOT DEFINED EXPECT_EXIT)
  set(EXPECT_EXIT 0)
endif()

# Arguments and file names are UTF-8 here; Wine reads a program's command
# line in the locale's character set, so that must be UTF-8 too.
set(ENV{LC_ALL} C.UTF-8)
# A program that prints a scenario summary ("N checks, M failed") gets 30 s
# to exit after it; then cmake/exit_watch.sh ends it (see there).
execute_process(COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/exit_watch.sh 30 ${EMULATOR} ${tool} ${ARGS}
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 300)
message("${out}")
if(NOT "${err}" STREQUAL "")
  message("stderr:\n${err}")
endif()
set(problems "")
if(err MATCHES "exit-watch: ")
  list(APPEND problems "printed its summary but did not exit within 30 s, and was ended (a hang at exit)")
endif()
if(NOT "${rc}" STREQUAL "${EXPECT_EXIT}")
  list(APPEND problems "exited with ${rc}, expected ${EXPECT_EXIT}")
endif()
foreach(text IN LISTS STDOUT)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    list(APPEND problems "no \"${text}\" on standard output")
  endif()
endforeach()
foreach(text IN LISTS NOT_STDOUT)
  string(FIND "${out}" "${text}" at)
  if(NOT at EQUAL -1)
    list(APPEND problems "\"${text}\" on standard output")
  endif()
endforeach()
foreach(text IN LISTS STDERR)
  string(FIND "${err}" "${text}" at)
  if(at EQUAL -1)
    list(APPEND problems "no \"${text}\" on standard error")
  endif()
endforeach()
foreach(f IN LISTS PRESENT)
  if(NOT EXISTS ${WORK_DIR}/${f})
    list(APPEND problems "${f} does not exist")
  endif()
endforeach()
foreach(f IN LISTS ABSENT)
  if(EXISTS ${WORK_DIR}/${f})
    list(APPEND problems "${f} exists")
  endif()
endforeach()
if(problems)
  string(REPLACE ";" "\n  " problems "${problems}")
  message(FATAL_ERROR "${TOOL}:\n  ${problems}")
endif()
