# The blank texture and the sample colour-grading table, generated at build time.
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/BlankTexture.cpp
  COMMAND make_blank_texture ${CMAKE_CURRENT_BINARY_DIR}/BlankTexture.cpp
  DEPENDS make_blank_texture
  COMMENT "Generating the blank texture")
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/SampleColorFilterLut.cpp
  COMMAND make_sample_lut ${CMAKE_CURRENT_BINARY_DIR}/SampleColorFilterLut.cpp
  DEPENDS make_sample_lut
  COMMENT "Generating the sample colour-grading table")
list(APPEND TAVRIN_GENERATED_ASSET_SOURCES
  ${CMAKE_CURRENT_BINARY_DIR}/BlankTexture.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/SampleColorFilterLut.cpp)
