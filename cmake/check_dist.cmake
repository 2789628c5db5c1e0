# Checks the release archive as a mod manager sees it. Mod Organizer 2 and
# Vortex install an archive without asking only when its top level is a
# Data folder's: here NVSE/ and nothing else but .txt and .md files (a file
# without an extension or another folder sends MO2 to its manual installer).
# Then the exact list of entries, and the shipped texts against the sources.
# Inputs: ZIP, SOURCE_DIR, VERSION, SCRATCH (a folder to extract into),
# HOME_PAGE (the home page the archive was made with; may be empty).
# Run with cmake -P, where no project sets the policies: without this,
# if(TRUE) and the other constants would silently read as false (CMP0012).
cmake_minimum_required(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/home_page.cmake)
corvane_home_page_text(home_page "${HOME_PAGE}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot list ${ZIP}")
endif()
string(REGEX REPLACE "\n$" "" out "${out}")
string(REPLACE "\n" ";" entries "${out}")
list(SORT entries)
message("entries: ${entries}")

set(faults "")
foreach(e ${entries})
  if(e MATCHES "^[^/]+$")
    if(NOT e MATCHES "\\.(txt|md)$")
      list(APPEND faults "top-level file without .txt or .md: ${e}")
    endif()
  elseif(NOT e MATCHES "^NVSE/")
    list(APPEND faults "top-level folder other than NVSE/: ${e}")
  endif()
  if(e MATCHES "^Data/")
    list(APPEND faults "game-rooted entry: ${e}")
  endif()
endforeach()

set(wanted
  Corvane-CHANGELOG.md
  Corvane-LGPL-2.1.txt
  Corvane-LICENSE.txt
  Corvane-THIRD-PARTY-NOTICES.md
  Corvane-readme.txt
  NVSE/
  NVSE/Plugins/
  NVSE/Plugins/Corvane/
  NVSE/Plugins/Corvane/Corvane-data-folder.txt
  NVSE/Plugins/Corvane/corvane-savedata.exe
  NVSE/Plugins/corvane.dll)
if(NOT entries STREQUAL wanted)
  list(APPEND faults "expected exactly ${wanted}")
endif()

# The shipped licence, notices and changelog are the repository's, line ends
# aside and the home page in the notices.
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${SCRATCH} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot extract ${ZIP}")
endif()
foreach(pair "LICENSE|Corvane-LICENSE.txt" "THIRD-PARTY-NOTICES.md|Corvane-THIRD-PARTY-NOTICES.md"
    "CHANGELOG.md|Corvane-CHANGELOG.md")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  file(READ ${SOURCE_DIR}/${from} want)
  if(from STREQUAL "THIRD-PARTY-NOTICES.md")
    string(FIND "${want}" "${CORVANE_HOME_PAGE_WORDS}" at)
    if(at EQUAL -1)
      list(APPEND faults "${from} does not say '${CORVANE_HOME_PAGE_WORDS}' on one line")
    endif()
    string(REPLACE "${CORVANE_HOME_PAGE_WORDS}" "${home_page}" want "${want}")
  endif()
  if(EXISTS ${SCRATCH}/${to})
    file(READ ${SCRATCH}/${to} got)
    string(REPLACE "\r\n" "\n" got "${got}")
    if(NOT got STREQUAL want)
      list(APPEND faults "${to} differs from ${from}")
    endif()
  endif()
endforeach()
# What the player's readme must tell: the managers, the files of the
# archive, the log lines a player looks for, and where the other archives are.
file(READ ${SCRATCH}/Corvane-readme.txt readme)
foreach(word "Mod Organizer 2" "Vortex" "Overwrite" "corvane-savedata.exe"
    "Standard corvane aborting in NOGORE FONV" "engine: none" "Game check:" "nvse.log"
    "Corvane-${VERSION}-tools.zip" "Corvane-${VERSION}-source.zip" "Updating"
    "Report it on ${home_page}.")
  string(FIND "${readme}" "${word}" at)
  if(at EQUAL -1)
    list(APPEND faults "the readme says nothing of ${word}")
  endif()
endforeach()
if(readme MATCHES "@[A-Z_]+@")
  list(APPEND faults "the readme keeps an unfilled ${CMAKE_MATCH_0}")
endif()

# Every program in the archive is named in the notices, with the source
# archive that the LGPL asks to offer beside it.
file(READ ${SCRATCH}/Corvane-THIRD-PARTY-NOTICES.md notices)
foreach(e ${entries})
  if(e MATCHES "([^/]+\\.(dll|exe))$")
    string(FIND "${notices}" "${CMAKE_MATCH_1}" at)
    if(at EQUAL -1)
      list(APPEND faults "the notices do not name ${CMAKE_MATCH_1}")
    endif()
  endif()
endforeach()
string(FIND "${notices}" "Corvane-${VERSION}-source.zip" at)
if(at EQUAL -1)
  list(APPEND faults "the notices do not say where Corvane-${VERSION}-source.zip is")
endif()

# Given a home page, the archive names it and no longer the words that stand
# for it.
if(NOT HOME_PAGE STREQUAL "")
  foreach(text readme notices)
    string(FIND "${${text}}" "${HOME_PAGE}" at)
    if(at EQUAL -1)
      list(APPEND faults "${text}: the home page ${HOME_PAGE} is missing")
    endif()
    string(FIND "${${text}}" "${CORVANE_HOME_PAGE_WORDS}" at)
    if(NOT at EQUAL -1)
      list(APPEND faults "${text}: still says '${CORVANE_HOME_PAGE_WORDS}'")
    endif()
  endforeach()
endif()

if(faults)
  string(REPLACE ";" "\n  " faults "${faults}")
  message(FATAL_ERROR "release archive ${ZIP}:\n  ${faults}")
endif()
