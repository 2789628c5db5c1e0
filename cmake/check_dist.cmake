# Checks the release archive's entries: exactly the layout a player extracts.
# Inputs: ZIP.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot list ${ZIP}")
endif()
string(REGEX REPLACE "\n$" "" out "${out}")
string(REPLACE "\n" ";" entries "${out}")
list(SORT entries)
set(wanted
  Corvane-readme.txt
  Data/
  Data/NVSE/
  Data/NVSE/Plugins/
  Data/NVSE/Plugins/Corvane/
  Data/NVSE/Plugins/corvane.dll)
message("entries: ${entries}")
if(NOT entries STREQUAL wanted)
  message(FATAL_ERROR "expected ${wanted}")
endif()
