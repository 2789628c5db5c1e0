# Checks the tools archive as a mod author meets it: unzipped into a folder
# that stands for C:\Modding (as Explorer's "Extract All" unzips it there),
# it holds one top folder with everything its pages name, every relative link
# of its pages leads to a file in it, and the Windows tutorial of its own
# docs/corvane-sim.md runs as written (tests/sim/windows_tutorial.py).
# Inputs: ZIP, VERSION, SCRATCH (a folder to unzip into; emptied first),
# EMULATOR (wine, or empty on Windows), PYTHON (python3), TUTORIAL (the
# tutorial's runner), C_DRIVE (the drive_c of the Wine prefix).
# Run with cmake -P, where no project sets the policies: without this,
# if(TRUE) and the other constants would silently read as false (CMP0012).
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE ${SCRATCH})
set(modding ${SCRATCH}/Modding)
file(MAKE_DIRECTORY ${modding})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${modding}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot unzip ${ZIP}")
endif()

# One top folder, so that "Extract All" into C:\Modding gives
# C:\Modding\Corvane-<version>-tools.
file(GLOB tops RELATIVE ${modding} ${modding}/*)
if(NOT tops STREQUAL "Corvane-${VERSION}-tools")
  message(FATAL_ERROR "the tools archive's top level is '${tops}', not one folder Corvane-${VERSION}-tools")
endif()
set(top ${modding}/Corvane-${VERSION}-tools)
set(problems "")
foreach(entry
    corvane-sim/corvane-sim.exe corvane-sim/Data/NVSE/Plugins/corvane.dll corvane-savedata.exe
    examples/quickstart.scn examples/mood.scn examples/companion_mood.scn
    examples/scripts/CompanionMood.gek docs/corvane-sim-scripts.md docs/commands.md docs/commands.json
    docs/concepts.md docs/geck.md docs/save-data.md docs/corvane-sim.md docs/corvane-savedata.md
    Corvane-readme.txt CHANGELOG.md README.txt LICENSE.txt LGPL-2.1.txt THIRD-PARTY-NOTICES.md)
  if(NOT EXISTS ${top}/${entry})
    list(APPEND problems "the tools archive lacks ${entry}")
  endif()
endforeach()
# The project's own page stays out of it.
if(EXISTS ${top}/docs/corvane-sim-development.md)
  list(APPEND problems "the tools archive ships docs/corvane-sim-development.md")
endif()

# Every relative link of a shipped page leads to a file inside the archive.
file(GLOB_RECURSE pages ${top}/*.md)
foreach(page IN LISTS pages)
  file(READ ${page} text)
  get_filename_component(dir ${page} DIRECTORY)
  file(RELATIVE_PATH shown ${top} ${page})
  # Square brackets would hold list items together: mark each link's "](",
  # then drop the brackets.
  string(REPLACE "](" "@LINK@(" text "${text}")
  string(REPLACE "[" "" text "${text}")
  string(REPLACE "]" "" text "${text}")
  string(REPLACE ";" "" text "${text}")
  string(REGEX MATCHALL "@LINK@\\([^) ]+\\)" links "${text}")
  foreach(link IN LISTS links)
    string(REGEX REPLACE "^@LINK@\\((.*)\\)$" "\\1" target "${link}")
    if(target MATCHES "^(#|[a-z]+:)")
      continue()  # an anchor of the page itself, or a web address
    endif()
    string(REGEX REPLACE "#.*$" "" path "${target}")
    get_filename_component(resolved ${dir}/${path} ABSOLUTE)
    string(FIND "${resolved}/" "${top}/" inside)
    if(NOT inside EQUAL 0 OR NOT EXISTS ${resolved})
      list(APPEND problems "${shown}: the link ${target} leads to no file in the archive")
    endif()
  endforeach()
endforeach()
if(problems)
  string(REPLACE ";" "\n  " problems "${problems}")
  message(FATAL_ERROR "the tools archive:\n  ${problems}")
endif()

execute_process(
  COMMAND ${PYTHON} ${TUTORIAL} ${modding} ${VERSION} "${C_DRIVE}" ${EMULATOR}
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  TIMEOUT 1200)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the Windows tutorial does not run as written (${rc})")
endif()
