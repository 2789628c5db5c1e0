# Lays out the mod authors' tools archive, one folder to unzip anywhere:
#   Corvane-<version>-tools/
#     corvane-sim/corvane-sim.exe            the simulator, in a game folder of
#     corvane-sim/Data/NVSE/Plugins/corvane.dll  its own (its folder is the game
#     corvane-sim/Data/NVSE/Plugins/Corvane/...  root the plug-in finds)
#     corvane-savedata.exe                   shows, checks and sweeps save data
#     examples/*.scn                         scenarios to start from
#     docs/commands.md, concepts.md, save-data.md, corvane-sim.md,
#          corvane-savedata.md
#     README.txt, LICENSE.txt, LGPL-2.1.txt, THIRD-PARTY-NOTICES.md
# Text files carry CR LF line ends, for Notepad.
# Inputs: SIM (the built corvane-sim.exe), PLUGIN (the built DLL), TOOL
# (corvane-savedata.exe), SOURCE_DIR, VERSION, STAGE (scratch folder), ZIP
# (the archive to write), ZIP_TOOL (zip; when empty, cmake's own zip
# writer), LGPL_TEXT (the GNU LGPL 2.1 text).
# Run with cmake -P, where no project sets the policies: without this,
# if(TRUE) and the other constants would silently read as false (CMP0012).
cmake_minimum_required(VERSION 3.20)

foreach(input SIM PLUGIN TOOL LGPL_TEXT)
  if(NOT EXISTS "${${input}}")
    message(FATAL_ERROR "${input} is missing: '${${input}}'")
  endif()
endforeach()

set(top Corvane-${VERSION}-tools)
set(root ${STAGE}/${top})
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${root}/corvane-sim/Data/NVSE/Plugins/Corvane ${root}/docs ${root}/examples)
file(COPY ${SIM} DESTINATION ${root}/corvane-sim)
file(COPY ${PLUGIN} DESTINATION ${root}/corvane-sim/Data/NVSE/Plugins)
file(COPY ${TOOL} DESTINATION ${root})

include(${CMAKE_CURRENT_LIST_DIR}/copy_crlf.cmake)

copy_crlf(${SOURCE_DIR}/packaging/Corvane-data-folder.txt
  ${root}/corvane-sim/Data/NVSE/Plugins/Corvane/Corvane-data-folder.txt)
foreach(doc commands.md concepts.md save-data.md corvane-sim.md corvane-savedata.md)
  copy_crlf(${SOURCE_DIR}/docs/${doc} ${root}/docs/${doc})
endforeach()
file(GLOB examples ${SOURCE_DIR}/examples/*.scn)
foreach(example IN LISTS examples)
  get_filename_component(name ${example} NAME)
  copy_crlf(${example} ${root}/examples/${name})
endforeach()
copy_crlf(${SOURCE_DIR}/LICENSE ${root}/LICENSE.txt)
copy_crlf(${SOURCE_DIR}/THIRD-PARTY-NOTICES.md ${root}/THIRD-PARTY-NOTICES.md)
copy_crlf(${LGPL_TEXT} ${root}/LGPL-2.1.txt)
file(WRITE ${root}/README.txt
"Corvane ${VERSION}: tools for mod authors\n"
"\n"
"corvane-sim plays the game and its script extender for Corvane, so that\n"
"the calls your scripts make can be tested before you start the game.\n"
"From a command prompt in this folder:\n"
"\n"
"  corvane-sim\\corvane-sim.exe --fresh examples\\quickstart.scn\n"
"\n"
"The run ends with \"N checks, M failed\". docs\\corvane-sim.md is the\n"
"guide, with a tutorial for Windows; docs\\commands.md lists the commands.\n"
"\n"
"corvane-savedata.exe shows, checks and sweeps the save-data files Corvane\n"
"keeps beside save games: docs\\corvane-savedata.md.\n")
file(READ ${root}/README.txt text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${root}/README.txt "${text}")

get_filename_component(zip_dir ${ZIP} DIRECTORY)
file(MAKE_DIRECTORY ${zip_dir})
file(REMOVE ${ZIP})
if(ZIP_TOOL)
  set(command ${ZIP_TOOL} -q -r -X ${ZIP} ${top})
else()
  set(command ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${top})
endif()
execute_process(COMMAND ${command} WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "writing ${ZIP} failed: ${rc}")
endif()
message(STATUS "Tools archive: ${ZIP}")
