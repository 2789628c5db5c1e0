# SQLite 3 and libcsv. Linux takes Debian's packages; the Windows cross build
# compiles the sources that scripts/fetch-deps.sh fetched into the build tree.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/third_party_win.cmake)
else()
  find_package(SQLite3 REQUIRED)
  find_path(CSV_INCLUDE_DIR csv.h REQUIRED)
  find_library(CSV_LIBRARY csv REQUIRED)
  add_library(corvane_csv INTERFACE)
  target_include_directories(corvane_csv INTERFACE ${CSV_INCLUDE_DIR})
  target_link_libraries(corvane_csv INTERFACE ${CSV_LIBRARY})
  add_library(corvane_sqlite INTERFACE)
  target_link_libraries(corvane_sqlite INTERFACE SQLite::SQLite3)
endif()

# tsl::robin_map is header-only (Debian's robin-map-dev).
find_path(ROBIN_MAP_INCLUDE_DIR tsl/robin_map.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
add_library(corvane_robin_map INTERFACE)
if(ROBIN_MAP_INCLUDE_DIR)
  if(WIN32)
    # Only the tsl/ folder of the host's headers goes on the cross include path.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/_deps/robin-map/include)
    file(COPY ${ROBIN_MAP_INCLUDE_DIR}/tsl DESTINATION ${CMAKE_BINARY_DIR}/_deps/robin-map/include)
    target_include_directories(corvane_robin_map SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/_deps/robin-map/include)
  else()
    target_include_directories(corvane_robin_map SYSTEM INTERFACE ${ROBIN_MAP_INCLUDE_DIR})
  endif()
endif()
