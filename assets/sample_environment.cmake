# The built-in environment "<Sample>": the generator writes the Radiance file and a source that
# takes it in with the assembler (8 MB as a C++ array would cost the compiler far more).
set(sample_environment_hdr ${CMAKE_CURRENT_BINARY_DIR}/SampleEnvironment.hdr)
set(sample_environment_source ${CMAKE_CURRENT_BINARY_DIR}/SampleEnvironment.cpp)
add_custom_command(
  OUTPUT ${sample_environment_hdr} ${sample_environment_source}
  COMMAND make_sample_environment ${sample_environment_hdr} ${sample_environment_source}
  DEPENDS make_sample_environment
  COMMENT "Computing the sample environment"
  VERBATIM)
set_source_files_properties(${sample_environment_source} PROPERTIES OBJECT_DEPENDS ${sample_environment_hdr})
list(APPEND TAVRIN_GENERATED_ASSET_SOURCES ${sample_environment_source})
