# Lays out the mod authors' tools archive, one top folder that unzips
# anywhere (unzipped into C:\Modding, it is C:\Modding\Corvane-<version>-tools):
#   Corvane-<version>-tools/
#     corvane-sim/corvane-sim.exe            the simulator, in a game folder of
#     corvane-sim/Data/NVSE/Plugins/corvane.dll  its own (its folder is the game
#     corvane-sim/Data/NVSE/Plugins/Corvane/...  root the plug-in finds)
#     corvane-savedata.exe                   shows, checks and sweeps save data
#     examples/*.scn                         scenarios to start from
#     docs/commands.md, commands.json, concepts.md, save-data.md,
#          corvane-sim.md (the mod authors' page), corvane-savedata.md
#     Corvane-readme.txt                     the player's readme, as the release
#                                            archive ships it
#     CHANGELOG.md, README.txt, LICENSE.txt, LGPL-2.1.txt, THIRD-PARTY-NOTICES.md
# Text files carry CR LF line ends, for Notepad.
# Inputs: SIM (the built corvane-sim.exe), PLUGIN (the built DLL), TOOL
# (corvane-savedata.exe), SOURCE_DIR, VERSION, STAGE (scratch folder), ZIP
# (the archive to write), ZIP_TOOL (zip; when empty, cmake's own zip
# writer), LGPL_TEXT (the GNU LGPL 2.1 text), HOME_PAGE (the release's home
# page for the notices and the readme; may be empty: cmake/home_page.cmake):
# the release archive's inputs (cmake/make_dist.cmake), and SIM.
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
include(${CMAKE_CURRENT_LIST_DIR}/home_page.cmake)

copy_crlf(${SOURCE_DIR}/packaging/Corvane-data-folder.txt
  ${root}/corvane-sim/Data/NVSE/Plugins/Corvane/Corvane-data-folder.txt)
# The pages a mod author reads; docs/corvane-sim-development.md is the
# project's own and stays out.
foreach(doc commands.md commands.json concepts.md geck.md save-data.md corvane-sim.md
            corvane-sim-scripts.md corvane-savedata.md)
  copy_crlf(${SOURCE_DIR}/docs/${doc} ${root}/docs/${doc})
endforeach()
# The player's readme, made as the release archive makes it.
set(CORVANE_VERSION ${VERSION})
corvane_home_page_text(CORVANE_HOME_PAGE "${HOME_PAGE}")
configure_file(${SOURCE_DIR}/packaging/Corvane-readme.txt.in ${root}/Corvane-readme.txt @ONLY
  NEWLINE_STYLE CRLF)
copy_crlf(${SOURCE_DIR}/CHANGELOG.md ${root}/CHANGELOG.md)
file(GLOB examples ${SOURCE_DIR}/examples/*.scn)
foreach(example IN LISTS examples)
  get_filename_component(name ${example} NAME)
  copy_crlf(${example} ${root}/examples/${name})
endforeach()
# The mod scripts the example scenarios load.
file(GLOB example_scripts ${SOURCE_DIR}/examples/scripts/*.gek)
foreach(script IN LISTS example_scripts)
  get_filename_component(name ${script} NAME)
  copy_crlf(${script} ${root}/examples/scripts/${name})
endforeach()
copy_crlf(${SOURCE_DIR}/LICENSE ${root}/LICENSE.txt)
copy_crlf_home_page(${SOURCE_DIR}/THIRD-PARTY-NOTICES.md ${root}/THIRD-PARTY-NOTICES.md "${HOME_PAGE}")
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
"The run ends with \"N checks, M failed\" (\"stopped at FILE:LINE: ...\" when\n"
"a line cannot run). docs\\corvane-sim.md is the guide, with a tutorial for\n"
"Windows; docs\\commands.md lists the commands (docs\\commands.json as data).\n"
"\n"
"corvane-savedata.exe shows, checks and sweeps the save-data files Corvane\n"
"keeps beside save games: docs\\corvane-savedata.md.\n"
"\n"
"Corvane-readme.txt is the player's readme; CHANGELOG.md lists the changes.\n")
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
