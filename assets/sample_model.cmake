# The built-in sample model ("<Sample>"), written by a generator that shares the PMX writer of the
# test support code (it needs only the record types and core, not the model library).
add_executable(gen_sample_model
  ${PROJECT_SOURCE_DIR}/tools/generators/gen_sample_model.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/PmxWriter.cpp)
target_include_directories(gen_sample_model PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(gen_sample_model PRIVATE tavrin_core)
set(sample_model_source ${CMAKE_CURRENT_BINARY_DIR}/generated/SampleModelData.cpp)
add_custom_command(
  OUTPUT ${sample_model_source}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND gen_sample_model ${sample_model_source}
  DEPENDS gen_sample_model
  COMMENT "Generating the sample model"
  VERBATIM)
list(APPEND TAVRIN_GENERATED_ASSET_SOURCES ${sample_model_source})
