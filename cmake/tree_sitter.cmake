# The precise parser's third-party parts: Debian's tree-sitter runtime
# (libtree-sitter-dev) and the C and C++ grammars that scripts/fetch-grammars
# unpacks into a cache folder outside the repository. When both are there,
# velmora_grammars is a static library of the generated grammar sources;
# linking it brings the runtime and the compile definition
# VELMORA_HAVE_TREE_SITTER=1. When either is missing the build goes on
# without it (and the code that needs it is skipped).
#
# The grammar folder is taken, in this order, from -DVELMORA_GRAMMAR_DIR, the
# environment variable of that name, or ${XDG_CACHE_HOME:-~/.cache}/velmora/
# grammars, so that it follows the fetch script on every configure.

if(NOT VELMORA_GRAMMAR_DIR)
  if(DEFINED ENV{VELMORA_GRAMMAR_DIR} AND NOT "$ENV{VELMORA_GRAMMAR_DIR}" STREQUAL "")
    set(VELMORA_GRAMMAR_DIR "$ENV{VELMORA_GRAMMAR_DIR}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(VELMORA_GRAMMAR_DIR "$ENV{XDG_CACHE_HOME}/velmora/grammars")
  else()
    set(VELMORA_GRAMMAR_DIR "$ENV{HOME}/.cache/velmora/grammars")
  endif()
endif()

# The pinned versions, one "NAME VERSION SHA512" line each in the fetch script.
file(STRINGS ${CMAKE_SOURCE_DIR}/scripts/fetch-grammars velmora_grammar_pins
     REGEX "^tree-sitter-[a-z]+ [0-9.]+ [0-9a-f]+$")

pkg_check_modules(TREE_SITTER IMPORTED_TARGET tree-sitter)

set(velmora_grammar_missing "")
set(velmora_grammar_dirs "")
foreach(pin IN LISTS velmora_grammar_pins)
  string(REPLACE " " ";" pin "${pin}")
  list(GET pin 0 name)
  list(GET pin 1 version)
  set(dir "${VELMORA_GRAMMAR_DIR}/${name}-${version}")
  if(EXISTS "${dir}/.complete" AND EXISTS "${dir}/src/parser.c")
    list(APPEND velmora_grammar_dirs "${dir}")
  else()
    list(APPEND velmora_grammar_missing "${name} ${version}")
  endif()
endforeach()
if(NOT velmora_grammar_pins)
  list(APPEND velmora_grammar_missing "the pins of scripts/fetch-grammars")
endif()
if(NOT TREE_SITTER_FOUND)
  list(APPEND velmora_grammar_missing "libtree-sitter (libtree-sitter-dev)")
endif()

if(velmora_grammar_missing)
  list(JOIN velmora_grammar_missing ", " why)
  message(STATUS "Precise parser: off (missing ${why}; scripts/bootstrap fetches them)")
else()
  message(STATUS "Precise parser: grammars from ${VELMORA_GRAMMAR_DIR}")
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
if(VELMORA_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/grammars)
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
