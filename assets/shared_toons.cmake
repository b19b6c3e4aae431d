# The ten shared toon ramps of the classic material look, drawn at build time.
add_executable(make_toon_ramps ${PROJECT_SOURCE_DIR}/tools/generators/make_toon_ramps.cpp)
target_include_directories(make_toon_ramps PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(make_toon_ramps PRIVATE tavrin_core)
set(shared_toons_source ${CMAKE_CURRENT_BINARY_DIR}/generated/SharedToons.cpp)
add_custom_command(
  OUTPUT ${shared_toons_source}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND make_toon_ramps ${shared_toons_source}
  DEPENDS make_toon_ramps
  COMMENT "Drawing the shared toon ramps"
  VERBATIM)
list(APPEND TAVRIN_GENERATED_ASSET_SOURCES ${shared_toons_source})
