# The precise parser's third-party parts: Debian's tree-sitter runtime
# (libtree-sitter-dev) and the C and C++ grammars that scripts/fetch-grammars
# keeps, as the npm tarballs it checked, in a cache folder outside the
# repository. Each tarball is checked again here against the sha512 pinned in
# that script and unpacked into the build folder, so what is compiled is
# always what the pin names, whatever happened to the cache since. When both
# parts are there, velmora_grammars is a static library of the generated
# grammar sources; linking it brings the runtime and the compile definition
# VELMORA_HAVE_TREE_SITTER=1. When either is missing the build goes on
# without it (and the code that needs it is skipped).
#
# The grammar folder is taken, on the first configure, from
# -DVELMORA_GRAMMAR_DIR, the environment variable of that name, or
# ${XDG_CACHE_HOME:-~/.cache}/velmora/grammars, and kept in the CMake cache,
# so a later configure under another HOME (sudo make install) still finds it.
# A build folder that once had the precise parser and has lost it says so
# loudly, and its install refuses (cmake/install.cmake) unless configured
# with -DVELMORA_WITHOUT_PRECISE=ON.

if(NOT DEFINED VELMORA_ROOT_DIR)
  set(VELMORA_ROOT_DIR ${CMAKE_SOURCE_DIR})
endif()

if(DEFINED ENV{VELMORA_GRAMMAR_DIR} AND NOT "$ENV{VELMORA_GRAMMAR_DIR}" STREQUAL "")
  set(velmora_grammar_default "$ENV{VELMORA_GRAMMAR_DIR}")
elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(velmora_grammar_default "$ENV{XDG_CACHE_HOME}/velmora/grammars")
else()
  set(velmora_grammar_default "$ENV{HOME}/.cache/velmora/grammars")
endif()
set(VELMORA_GRAMMAR_DIR "${velmora_grammar_default}" CACHE PATH
    "Folder of the precise parser's grammar tarballs (scripts/fetch-grammars)")
option(VELMORA_WITHOUT_PRECISE "Accept a build without the precise parser it had before" OFF)

# The pinned versions, one "NAME VERSION SHA512" line each in the fetch script.
file(STRINGS ${VELMORA_ROOT_DIR}/scripts/fetch-grammars velmora_grammar_pins
     REGEX "^tree-sitter-[a-z]+ [0-9.]+ [0-9a-f]+$")

pkg_check_modules(TREE_SITTER IMPORTED_TARGET tree-sitter)

set(velmora_grammar_missing "")
set(velmora_grammar_dirs "")
foreach(pin IN LISTS velmora_grammar_pins)
  string(REPLACE " " ";" pin "${pin}")
  list(GET pin 0 name)
  list(GET pin 1 version)
  list(GET pin 2 sha)
  set(tarball "${VELMORA_GRAMMAR_DIR}/${name}-${version}.tgz")
  set(dir "${CMAKE_BINARY_DIR}/grammars/${name}-${version}")
  set(got "")
  if(EXISTS "${tarball}")
    file(SHA512 "${tarball}" got)
  endif()
  if(NOT got STREQUAL sha)
    if(got)
      message(WARNING "Precise parser: ${tarball} does not match its pinned sha512; not used "
                      "(remove it and run scripts/fetch-grammars)")
    endif()
    list(APPEND velmora_grammar_missing "${name} ${version}")
    continue()
  endif()
  # Unpacked again whenever the stamp does not name this tarball's hash.
  set(stamp "")
  if(EXISTS "${dir}/.sha512")
    file(READ "${dir}/.sha512" stamp)
  endif()
  if(NOT stamp STREQUAL sha OR NOT EXISTS "${dir}/src/parser.c")
    file(REMOVE_RECURSE "${dir}" "${dir}.part")
    file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${dir}.part" PATTERNS package/src
         package/LICENSE)
    file(RENAME "${dir}.part/package" "${dir}")
    file(REMOVE_RECURSE "${dir}.part")
    file(WRITE "${dir}/.sha512" "${sha}")
  endif()
  list(APPEND velmora_grammar_dirs "${dir}")
endforeach()
if(NOT velmora_grammar_pins)
  list(APPEND velmora_grammar_missing "the pins of scripts/fetch-grammars")
endif()
if(NOT TREE_SITTER_FOUND)
  list(APPEND velmora_grammar_missing "libtree-sitter (libtree-sitter-dev)")
endif()

set(VELMORA_PRECISE_LOST OFF)
if(velmora_grammar_missing)
  list(JOIN velmora_grammar_missing ", " why)
  message(STATUS "Precise parser: off (missing ${why}; scripts/bootstrap fetches them)")
  if(VELMORA_WITHOUT_PRECISE)
    set(VELMORA_PRECISE_SEEN OFF CACHE INTERNAL "This build folder has had the precise parser")
  elseif(VELMORA_PRECISE_SEEN)
    set(VELMORA_PRECISE_LOST ON)
    message(WARNING "Precise parser: this build folder had it and has lost it (missing ${why} "
                    "in ${VELMORA_GRAMMAR_DIR}); its install refuses. Run scripts/fetch-grammars, "
                    "or configure with -DVELMORA_WITHOUT_PRECISE=ON to go on without it.")
  endif()
else()
  message(STATUS "Precise parser: grammars from ${VELMORA_GRAMMAR_DIR}")
  set(VELMORA_PRECISE_SEEN ON CACHE INTERNAL "This build folder has had the precise parser")
  add_library(velmora_grammars STATIC)
  foreach(dir IN LISTS velmora_grammar_dirs)
    # One object library per grammar: each compiles against its own
    # tree_sitter/*.h, which differ between the packages.
    get_filename_component(name "${dir}" NAME)
    string(MAKE_C_IDENTIFIER "${name}" id)
    file(GLOB srcs "${dir}/src/parser.c" "${dir}/src/scanner.c")
    add_library(velmora_grammar_${id} OBJECT ${srcs})
    target_include_directories(velmora_grammar_${id} PRIVATE "${dir}/src")
    set_target_properties(velmora_grammar_${id} PROPERTIES C_STANDARD 11 POSITION_INDEPENDENT_CODE ON)
    # Generated third-party code: its warnings are not ours to fix. The
    # sanitizers stay, so a fault in a scanner still shows in the tests.
    target_compile_options(velmora_grammar_${id} PRIVATE -w)
    target_sources(velmora_grammars PRIVATE $<TARGET_OBJECTS:velmora_grammar_${id}>)
  endforeach()
  target_link_libraries(velmora_grammars PUBLIC PkgConfig::TREE_SITTER)
  target_compile_definitions(velmora_grammars INTERFACE VELMORA_HAVE_TREE_SITTER=1)
endif()

# The smoke test of the grammars: built either way, so that a build without
# them reports the test as skipped rather than leaving it out.
if(VELMORA_TESTS AND EXISTS ${VELMORA_ROOT_DIR}/tests/grammars)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/grammars/*.cpp)
  add_executable(test_grammars ${srcs} ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
  target_include_directories(test_grammars PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(test_grammars PRIVATE GTest::gtest)
  if(TARGET velmora_grammars)
    target_link_libraries(test_grammars PRIVATE velmora_grammars)
  endif()
  set_target_properties(test_grammars PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(test_grammars DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()
