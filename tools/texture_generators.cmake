# Generators of the texture assets: the blank texture and the sample colour-grading table.
add_executable(make_blank_texture ${CMAKE_CURRENT_SOURCE_DIR}/generators/make_blank_texture.cpp)
add_executable(make_sample_lut ${CMAKE_CURRENT_SOURCE_DIR}/generators/make_sample_lut.cpp)
# The built-in environment image (a clear sky over land), computed at build time.
add_executable(make_sample_environment ${CMAKE_CURRENT_SOURCE_DIR}/generators/make_sample_environment.cpp)
