# tavrin-render: the headless renderer. Its command-line parsing and GPU time report are a library
# of their own so the renderer tests can check them.
add_library(tavrin_render_cli STATIC ${CMAKE_CURRENT_SOURCE_DIR}/render/RenderCommand.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/render/GpuTimeReport.cpp)
target_link_libraries(tavrin_render_cli PUBLIC tavrin_scene)
target_include_directories(tavrin_render_cli PUBLIC ${PROJECT_SOURCE_DIR})
add_executable(tavrin-render ${CMAKE_CURRENT_SOURCE_DIR}/render/main.cpp ${CMAKE_CURRENT_SOURCE_DIR}/render/PngFile.cpp)
target_link_libraries(tavrin-render PRIVATE tavrin_render_cli tavrin_scene tavrin_renderer tavrin_engine tavrin_assets tavrin_core)

if(TAVRIN_TESTS AND NOT TAVRIN_FUZZ)
  enable_testing()
  add_test(NAME tavrin_render_help COMMAND tavrin-render --help)
  set_tests_properties(tavrin_render_help PROPERTIES PASS_REGULAR_EXPRESSION "usage: tavrin-render")
  add_test(NAME tavrin_render_bad_setting COMMAND tavrin-render --set NoSuchSetting=1)
  set_tests_properties(tavrin_render_bad_setting PROPERTIES WILL_FAIL TRUE)
  # The sample scene at a small size; skipped on machines with no Vulkan device at all.
  add_test(NAME tavrin_render_sample COMMAND tavrin-render --frames 0-2 --size 96x64 --out ${CMAKE_CURRENT_BINARY_DIR}/render-out --passes)
  set_tests_properties(tavrin_render_sample PROPERTIES
    PASS_REGULAR_EXPRESSION "passes: Main Draw RenderModel Resolve ResolveDepth Bloom TAA FinalCopy OutputCopy"
    SKIP_REGULAR_EXPRESSION "No Vulkan device found")
endif()
