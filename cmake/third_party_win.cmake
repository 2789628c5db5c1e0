# SQLite 3 and libcsv for the Windows cross build, compiled as static
# libraries from sources that scripts/fetch-deps.sh fetches (never committed):
# libcsv from Debian's source package, the SQLite amalgamation from the npm
# package better-sqlite3. The configure step fetches them when missing.
set(CORVANE_DEPS_DIR ${PROJECT_SOURCE_DIR}/build/_deps CACHE PATH
  "Where scripts/fetch-deps.sh keeps the fetched third-party sources")

function(corvane_find_win_sources)
  file(GLOB csv_dirs LIST_DIRECTORIES true ${CORVANE_DEPS_DIR}/libcsv-*)
  set(csv_dir "")
  foreach(d ${csv_dirs})
    if(EXISTS ${d}/libcsv.c)
      set(csv_dir ${d})
    endif()
  endforeach()
  set(CORVANE_LIBCSV_DIR ${csv_dir} PARENT_SCOPE)
endfunction()

corvane_find_win_sources()
if(CORVANE_LIBCSV_DIR STREQUAL "" OR NOT EXISTS ${CORVANE_DEPS_DIR}/sqlite3/sqlite3.c)
  message(STATUS "Fetching third-party sources into ${CORVANE_DEPS_DIR}")
  execute_process(
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-deps.sh ${CORVANE_DEPS_DIR}
    RESULT_VARIABLE fetch_rc)
  if(NOT fetch_rc EQUAL 0)
    message(FATAL_ERROR "scripts/fetch-deps.sh failed (${fetch_rc})")
  endif()
  corvane_find_win_sources()
endif()
if(CORVANE_LIBCSV_DIR STREQUAL "")
  message(FATAL_ERROR "libcsv sources not found below ${CORVANE_DEPS_DIR}")
endif()
message(STATUS "libcsv sources: ${CORVANE_LIBCSV_DIR}")
file(READ ${CORVANE_DEPS_DIR}/sqlite3/SOURCE sqlite_origin)
string(STRIP "${sqlite_origin}" sqlite_origin)
message(STATUS "SQLite amalgamation: ${CORVANE_DEPS_DIR}/sqlite3 (npm package ${sqlite_origin})")

add_library(corvane_csv STATIC ${CORVANE_LIBCSV_DIR}/libcsv.c)
target_include_directories(corvane_csv SYSTEM PUBLIC ${CORVANE_LIBCSV_DIR})
set_target_properties(corvane_csv PROPERTIES C_STANDARD 99)

add_library(corvane_sqlite STATIC ${CORVANE_DEPS_DIR}/sqlite3/sqlite3.c)
target_include_directories(corvane_sqlite SYSTEM PUBLIC ${CORVANE_DEPS_DIR}/sqlite3)
# Only the file layer is used: no loadable extensions.
target_compile_definitions(corvane_sqlite PRIVATE
  SQLITE_OMIT_LOAD_EXTENSION SQLITE_DQS=0 SQLITE_DEFAULT_MEMSTATUS=0)
target_compile_options(corvane_sqlite PRIVATE -w)
