# The two pre-integrated lighting tables (image-based lighting and skin), computed at build time.
add_executable(make_brdf_luts ${PROJECT_SOURCE_DIR}/tools/generators/make_brdf_luts.cpp)
find_package(Threads REQUIRED)
target_include_directories(make_brdf_luts PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(make_brdf_luts PRIVATE tavrin_core Threads::Threads)
set(brdf_luts_source ${CMAKE_CURRENT_BINARY_DIR}/generated/PreIntegratedBrdf.cpp)
add_custom_command(
  OUTPUT ${brdf_luts_source}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND make_brdf_luts ${brdf_luts_source}
  DEPENDS make_brdf_luts
  COMMENT "Computing the pre-integrated lighting tables"
  VERBATIM)
list(APPEND TAVRIN_GENERATED_ASSET_SOURCES ${brdf_luts_source})
