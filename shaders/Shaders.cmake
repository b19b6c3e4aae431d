# Every GLSL shader in shaders/ (*.comp, *.vert, *.frag, *.rgen, *.rmiss, *.rchit, *.rahit) is
# compiled by glslc to SPIR-V and embedded as a uint32_t array behind a function named after the
# file (GenerateMips.comp -> Engine::Shaders::GenerateMips_comp()), declared in the generated
# header CompiledShaders.h.
find_program(GLSLC_EXECUTABLE glslc REQUIRED)
file(GLOB tavrin_glsl_sources CONFIGURE_DEPENDS
  "${CMAKE_CURRENT_SOURCE_DIR}/*.comp" "${CMAKE_CURRENT_SOURCE_DIR}/*.vert" "${CMAKE_CURRENT_SOURCE_DIR}/*.frag"
  "${CMAKE_CURRENT_SOURCE_DIR}/*.rgen" "${CMAKE_CURRENT_SOURCE_DIR}/*.rmiss" "${CMAKE_CURRENT_SOURCE_DIR}/*.rchit"
  "${CMAKE_CURRENT_SOURCE_DIR}/*.rahit")
set(tavrin_shader_header "${CMAKE_CURRENT_BINARY_DIR}/CompiledShaders.h.in.tmp")
set(tavrin_shader_decls "")
foreach(src IN LISTS tavrin_glsl_sources)
  get_filename_component(file_name "${src}" NAME)
  string(REPLACE "." "_" symbol "${file_name}")
  set(spv "${CMAKE_CURRENT_BINARY_DIR}/spv/${file_name}.spv")
  set(cpp "${CMAKE_CURRENT_BINARY_DIR}/spv/${symbol}.cpp")
  add_custom_command(
    OUTPUT "${spv}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/spv"
    COMMAND ${GLSLC_EXECUTABLE} --target-env=vulkan1.3 -O -Werror -I "${CMAKE_CURRENT_SOURCE_DIR}/include"
            -MD -MF "${spv}.d" -o "${spv}" "${src}"
    DEPENDS "${src}"
    DEPFILE "${spv}.d"
    COMMENT "glslc ${file_name}"
    VERBATIM)
  add_custom_command(
    OUTPUT "${cpp}"
    COMMAND ${CMAKE_COMMAND} -DINPUT=${spv} -DOUTPUT=${cpp} -DSYMBOL=${symbol} -P "${PROJECT_SOURCE_DIR}/cmake/EmbedSpirv.cmake"
    DEPENDS "${spv}" "${PROJECT_SOURCE_DIR}/cmake/EmbedSpirv.cmake"
    COMMENT "Embedding ${file_name}"
    VERBATIM)
  list(APPEND TAVRIN_SHADER_SOURCES "${cpp}")
  string(APPEND tavrin_shader_decls "std::span<const uint32_t> ${symbol}();\n")
endforeach()
file(CONFIGURE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/CompiledShaders.h" CONTENT
"#pragma once
// Generated from the GLSL sources in shaders/: the SPIR-V words of each shader.
#include <cstdint>
#include <span>

namespace Engine::Shaders {
@tavrin_shader_decls@}  // namespace Engine::Shaders
" @ONLY)
