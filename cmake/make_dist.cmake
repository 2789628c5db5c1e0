# Lays out the release archive as a player extracts it into the game folder:
#   Data/NVSE/Plugins/corvane.dll, the folder Data/NVSE/Plugins/Corvane/ and
#   Corvane-readme.txt (CR LF line ends).
# Inputs: PLUGIN (the built DLL), README_IN, VERSION, STAGE (scratch folder),
# ZIP (the archive to write), ZIP_TOOL (zip).
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/Data/NVSE/Plugins/Corvane)
file(COPY ${PLUGIN} DESTINATION ${STAGE}/Data/NVSE/Plugins)
set(CORVANE_VERSION ${VERSION})
configure_file(${README_IN} ${STAGE}/Corvane-readme.txt @ONLY NEWLINE_STYLE CRLF)

get_filename_component(zip_dir ${ZIP} DIRECTORY)
file(MAKE_DIRECTORY ${zip_dir})
file(REMOVE ${ZIP})
execute_process(
  COMMAND ${ZIP_TOOL} -q -r -X ${ZIP} Corvane-readme.txt Data
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${ZIP_TOOL} failed: ${rc}")
endif()
message(STATUS "Release archive: ${ZIP}")
