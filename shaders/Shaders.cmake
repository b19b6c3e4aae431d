# GLSL shaders (*.comp, *.vert, *.geom, *.frag, *.rgen, *.rmiss, *.rchit, *.rahit, *.rint, *.rcall) are compiled by glslc
# to SPIR-V and embedded as uint32_t arrays, each behind a function named after its file
# (GenerateMips.comp -> Engine::Shaders::GenerateMips_comp()) declared in a generated header.
# Before a shader is embedded, spirv-cross reflects it and tavrin_shader_check compares its
# push constants and bindings with the root signature registered for it in ShaderRegistry.cpp,
# and the size of every shared struct it lays out with the C++ struct's; a shader that is not
# registered or does not match fails the build. The sizes come from the reflection of an
# unoptimised compile of the same source, which keeps the names of structs (the optimiser strips
# them); the interface from the embedded, optimised one (unused declarations gone).
find_program(GLSLC_EXECUTABLE glslc REQUIRED)
find_program(SPIRV_CROSS_EXECUTABLE spirv-cross REQUIRED)

# tavrin_embed_shaders(<sources-var> <dir> <header> <namespace> <registry-prefix>)
function(tavrin_embed_shaders out_var dir header namespace prefix)
  file(GLOB glsl_sources CONFIGURE_DEPENDS
    "${dir}/*.comp" "${dir}/*.vert" "${dir}/*.geom" "${dir}/*.frag" "${dir}/*.rgen" "${dir}/*.rmiss" "${dir}/*.rchit" "${dir}/*.rahit"
    "${dir}/*.rint" "${dir}/*.rcall")
  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/spv/${namespace}")
  string(REPLACE "::" "_" out_dir "${out_dir}")
  set(decls "")
  set(sources "")
  foreach(src IN LISTS glsl_sources)
    get_filename_component(file_name "${src}" NAME)
    string(REPLACE "." "_" symbol "${file_name}")
    set(spv "${out_dir}/${file_name}.spv")
    set(cpp "${out_dir}/${symbol}.cpp")
    add_custom_command(
      OUTPUT "${spv}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${out_dir}"
      COMMAND ${GLSLC_EXECUTABLE} --target-env=vulkan1.3 -O -Werror -I "${CMAKE_CURRENT_SOURCE_DIR}/include"
              -I "${CMAKE_CURRENT_SOURCE_DIR}" -MD -MF "${spv}.d" -o "${spv}" "${src}"
      DEPENDS "${src}"
      DEPFILE "${spv}.d"
      COMMENT "glslc ${file_name}"
      VERBATIM)
    add_custom_command(
      OUTPUT "${spv}.named"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${out_dir}"
      COMMAND ${GLSLC_EXECUTABLE} --target-env=vulkan1.3 -Werror -I "${CMAKE_CURRENT_SOURCE_DIR}/include"
              -I "${CMAKE_CURRENT_SOURCE_DIR}" -MD -MF "${spv}.named.d" -o "${spv}.named" "${src}"
      DEPENDS "${src}"
      DEPFILE "${spv}.named.d"
      COMMENT "glslc ${file_name} (for reflection)"
      VERBATIM)
    add_custom_command(
      OUTPUT "${spv}.named.json"
      COMMAND ${SPIRV_CROSS_EXECUTABLE} "${spv}.named" --reflect --output "${spv}.named.json"
      DEPENDS "${spv}.named"
      COMMENT "Reflecting ${file_name} (names)"
      VERBATIM)
    add_custom_command(
      OUTPUT "${spv}.json"
      COMMAND ${SPIRV_CROSS_EXECUTABLE} "${spv}" --reflect --output "${spv}.json"
      DEPENDS "${spv}"
      COMMENT "Reflecting ${file_name}"
      VERBATIM)
    add_custom_command(
      OUTPUT "${spv}.checked"
      COMMAND tavrin_shader_check --shader "${prefix}${file_name}" --reflection "${spv}.json"
              --named-reflection "${spv}.named.json" --stamp "${spv}.checked"
      DEPENDS "${spv}.json" "${spv}.named.json" tavrin_shader_check
      COMMENT "Checking ${file_name} against its root signature"
      VERBATIM)
    add_custom_command(
      OUTPUT "${cpp}"
      COMMAND ${CMAKE_COMMAND} -DINPUT=${spv} -DOUTPUT=${cpp} -DSYMBOL=${symbol} -DNAMESPACE=${namespace}
              -P "${PROJECT_SOURCE_DIR}/cmake/EmbedSpirv.cmake"
      DEPENDS "${spv}" "${spv}.checked" "${PROJECT_SOURCE_DIR}/cmake/EmbedSpirv.cmake"
      COMMENT "Embedding ${file_name}"
      VERBATIM)
    list(APPEND sources "${cpp}")
    string(APPEND decls "std::span<const uint32_t> ${symbol}();\n")
  endforeach()
  file(CONFIGURE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${header}" CONTENT
"#pragma once
// Generated from the GLSL sources in ${dir}: the SPIR-V words of each shader.
#include <cstdint>
#include <span>

namespace @namespace@ {
@decls@}  // namespace @namespace@
" @ONLY)
  set(${out_var} ${sources} PARENT_SCOPE)
endfunction()

tavrin_embed_shaders(tavrin_engine_shader_sources "${CMAKE_CURRENT_SOURCE_DIR}" CompiledShaders.h Engine::Shaders "")
list(APPEND TAVRIN_SHADER_SOURCES ${tavrin_engine_shader_sources})

# Shaders used only by the GPU tests (tests/engine) live in shaders/tests.
if(TAVRIN_TESTS AND NOT TAVRIN_FUZZ)
  tavrin_embed_shaders(tavrin_test_shader_sources "${CMAKE_CURRENT_SOURCE_DIR}/tests" TestShaders.h TavrinTest::Shaders "tests/")
  if(tavrin_test_shader_sources)
    add_library(tavrin_test_shaders STATIC ${tavrin_test_shader_sources})
    target_include_directories(tavrin_test_shaders PUBLIC ${CMAKE_CURRENT_BINARY_DIR})
  endif()
endif()
