# The lens flare's sprites and the volumetric light's noise volume, drawn at build time. Both are
# large, so the generators write the binary files themselves and a source that embeds them with
# the assembler (see tools/generators/BinaryAsset.h).
foreach(generator make_lens_flare_sprites make_noise_volume)
  add_executable(${generator} ${PROJECT_SOURCE_DIR}/tools/generators/${generator}.cpp)
  target_include_directories(${generator} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${generator} PRIVATE tavrin_core)
endforeach()
set(post_assets_dir ${CMAKE_CURRENT_BINARY_DIR}/generated/post)
add_custom_command(
  OUTPUT ${post_assets_dir}/LensFlareSprites.cpp ${post_assets_dir}/Ghost.png ${post_assets_dir}/Lensflare.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${post_assets_dir}
  COMMAND make_lens_flare_sprites ${post_assets_dir}
  DEPENDS make_lens_flare_sprites
  COMMENT "Drawing the lens-flare sprites"
  VERBATIM)
add_custom_command(
  OUTPUT ${post_assets_dir}/NoiseVolume.cpp ${post_assets_dir}/NoiseVolume.dds
  COMMAND ${CMAKE_COMMAND} -E make_directory ${post_assets_dir}
  COMMAND make_noise_volume ${post_assets_dir}
  DEPENDS make_noise_volume
  COMMENT "Making the noise volume"
  VERBATIM)
list(APPEND TAVRIN_GENERATED_ASSET_SOURCES ${post_assets_dir}/LensFlareSprites.cpp ${post_assets_dir}/NoiseVolume.cpp)
