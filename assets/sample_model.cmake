# The built-in sample model ("<Sample>"), written by a generator over the model library's PMX
# writer (which needs only the record types and core, not the model library itself). The same
# bytes are also written as the demo scene's stage (data/demo/stage.pmx in the build tree), with
# its extended materials beside it (stage.xml).
add_executable(gen_sample_model ${PROJECT_SOURCE_DIR}/tools/generators/gen_sample_model.cpp)
target_include_directories(gen_sample_model PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(gen_sample_model PRIVATE vesma_pmxwriter)
set(sample_model_source ${CMAKE_CURRENT_BINARY_DIR}/generated/SampleModelData.cpp)
set(sample_model_stage ${PROJECT_BINARY_DIR}/data/demo/stage.pmx)
add_custom_command(
  OUTPUT ${sample_model_source} ${sample_model_stage} ${PROJECT_BINARY_DIR}/data/demo/stage.xml
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated ${PROJECT_BINARY_DIR}/data/demo
  COMMAND gen_sample_model ${sample_model_source} ${sample_model_stage}
  DEPENDS gen_sample_model
  COMMENT "Generating the sample model"
  VERBATIM)
add_custom_target(tavrin_demo_stage DEPENDS ${sample_model_stage})
list(APPEND TAVRIN_GENERATED_ASSET_SOURCES ${sample_model_source})
