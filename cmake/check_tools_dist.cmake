# Checks the tools archive as a mod author meets it: unzipped into a fresh
# folder, the archive's own corvane-sim runs the quick-start example there,
# as docs/corvane-sim.md and the archive's README.txt say to run it.
# Inputs: ZIP, VERSION, SCRATCH (a folder to unzip into; emptied first),
# EMULATOR (wine, or empty on Windows).
# Run with cmake -P, where no project sets the policies: without this,
# if(TRUE) and the other constants would silently read as false (CMP0012).
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${SCRATCH}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot unzip ${ZIP}")
endif()
set(top ${SCRATCH}/Corvane-${VERSION}-tools)
foreach(entry
    corvane-sim/corvane-sim.exe corvane-sim/Data/NVSE/Plugins/corvane.dll corvane-savedata.exe
    examples/quickstart.scn docs/commands.md docs/concepts.md docs/save-data.md
    docs/corvane-sim.md docs/corvane-savedata.md README.txt LICENSE.txt LGPL-2.1.txt
    THIRD-PARTY-NOTICES.md)
  if(NOT EXISTS ${top}/${entry})
    message(FATAL_ERROR "the tools archive lacks ${entry}")
  endif()
endforeach()

execute_process(
  COMMAND ${EMULATOR} corvane-sim/corvane-sim.exe --fresh examples/quickstart.scn
  WORKING_DIRECTORY ${top}
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  TIMEOUT 300)
message("${out}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the archive's corvane-sim exited with ${rc}:\n${err}")
endif()
# Every check held, and the plug-in read the world from the game image.
if(NOT out MATCHES "\n([1-9][0-9]*) checks, 0 failed\n")
  message(FATAL_ERROR "no \"N checks, 0 failed\" line")
endif()
if(NOT out MATCHES "engine: game")
  message(FATAL_ERROR "the plug-in did not read the game image")
endif()
# The quick start's save check: the save-data file was written in the copy,
# not in the unzipped folder, which --fresh leaves as it was.
if(EXISTS ${top}/corvane-sim/Data/NVSE/Plugins/Corvane/Saves)
  message(FATAL_ERROR "--fresh left save data in the unzipped folder")
endif()
