# Lays out the release archive, rooted at the game's Data folder as mod
# managers expect it (Mod Organizer 2 and Vortex install it as it is):
#   NVSE/Plugins/corvane.dll
#   NVSE/Plugins/Corvane/Corvane-data-folder.txt  (keeps the data folder in
#       place under managers that deploy files only)
#   NVSE/Plugins/Corvane/corvane-savedata.exe  (shows, checks and sweeps
#       save-data files)
#   Corvane-readme.txt, Corvane-LICENSE.txt, Corvane-LGPL-2.1.txt,
#   Corvane-THIRD-PARTY-NOTICES.md, Corvane-CHANGELOG.md
# Only .txt and .md files stand beside NVSE/; all carry CR LF line ends.
# Inputs: PLUGIN (the built DLL), TOOL (corvane-savedata.exe), SOURCE_DIR, VERSION, STAGE (scratch
# folder), ZIP (the archive to write), ZIP_TOOL (zip), LGPL_TEXT (the
# GNU LGPL 2.1 text, Debian's /usr/share/common-licenses/LGPL-2.1),
# HOME_PAGE (the release's home page, written into the readme and the
# notices; may be empty: cmake/home_page.cmake).
# Run with cmake -P, where no project sets the policies: without this,
# if(TRUE) and the other constants would silently read as false (CMP0012).
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/NVSE/Plugins/Corvane)
file(COPY ${PLUGIN} DESTINATION ${STAGE}/NVSE/Plugins)
if(NOT EXISTS "${TOOL}")
  message(FATAL_ERROR "corvane-savedata is missing: '${TOOL}'")
endif()
file(COPY ${TOOL} DESTINATION ${STAGE}/NVSE/Plugins/Corvane)
if(NOT EXISTS "${LGPL_TEXT}")
  message(FATAL_ERROR "the LGPL 2.1 text is missing: '${LGPL_TEXT}'")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/copy_crlf.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/home_page.cmake)

set(CORVANE_VERSION ${VERSION})
corvane_home_page_text(CORVANE_HOME_PAGE "${HOME_PAGE}")
configure_file(${SOURCE_DIR}/packaging/Corvane-readme.txt.in ${STAGE}/Corvane-readme.txt @ONLY
  NEWLINE_STYLE CRLF)
copy_crlf(${SOURCE_DIR}/packaging/Corvane-data-folder.txt
  ${STAGE}/NVSE/Plugins/Corvane/Corvane-data-folder.txt)
copy_crlf_home_page(${SOURCE_DIR}/THIRD-PARTY-NOTICES.md ${STAGE}/Corvane-THIRD-PARTY-NOTICES.md
  "${HOME_PAGE}")
foreach(pair
    "LICENSE|Corvane-LICENSE.txt"
    "CHANGELOG.md|Corvane-CHANGELOG.md")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  copy_crlf(${SOURCE_DIR}/${from} ${STAGE}/${to})
endforeach()
copy_crlf(${LGPL_TEXT} ${STAGE}/Corvane-LGPL-2.1.txt)

get_filename_component(zip_dir ${ZIP} DIRECTORY)
file(MAKE_DIRECTORY ${zip_dir})
file(REMOVE ${ZIP})
file(GLOB top RELATIVE ${STAGE} ${STAGE}/*)
list(SORT top)
execute_process(
  COMMAND ${ZIP_TOOL} -q -r -X ${ZIP} ${top}
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${ZIP_TOOL} failed: ${rc}")
endif()
message(STATUS "Release archive: ${ZIP}")
