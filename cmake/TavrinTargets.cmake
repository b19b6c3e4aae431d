# tavrin_library(NAME DIR <dir> [EXCLUDE <regex>] [DEPS ...])
# Builds every .cpp under <dir> (recursively, re-globbed at build time) into one static library,
# so adding a source file needs no CMake edit. Sources whose path matches EXCLUDE are left to a
# library of their own. A directory without sources gives an INTERFACE library, so dependants can
# name it before it has code.
function(tavrin_library name)
  cmake_parse_arguments(ARG "" "DIR;EXCLUDE" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${ARG_DIR}/*.cpp")
  if(ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
  endif()
endfunction()

# The environment every test runs in.
set(TAVRIN_TEST_ENVIRONMENT "TAVRIN_TEST=1;SDL_AUDIODRIVER=dummy;QT_QPA_PLATFORM=offscreen")

# tavrin_test(NAME DIR <dir> DEPS ...)
# One GoogleTest executable per module, made of every .cpp under <dir>.
function(tavrin_test name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${ARG_DIR}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  # Each test sets the environment it needs, so a plain `ctest` passes whatever the caller's
  # variables: no sound card needed (SDL's dummy driver), no display (Qt's offscreen platform).
  # The list cannot pass through gtest_discover_tests' PROPERTIES, so a file included after the
  # discovered tests sets it on each of them.
  set(env_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake")
  file(WRITE "${env_file}" "set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT \"${TAVRIN_TEST_ENVIRONMENT}\")\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${env_file}")
endfunction()

# tavrin_bench(NAME DIR <dir> DEPS ...)
function(tavrin_bench name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${ARG_DIR}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
