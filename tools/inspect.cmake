# tavrin-inspect: a dispatcher (main.cpp) and one source file per mode.
file(GLOB inspect_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/inspect/*.cpp)
add_executable(tavrin-inspect ${inspect_sources})
target_link_libraries(tavrin-inspect PRIVATE vesma tavrin_assets tavrin_core tavrin_engine tavrin_renderer)

if(TAVRIN_TESTS AND NOT TAVRIN_FUZZ)
  # Smoke tests of the command line: the built-in model as JSON, and a failed read. (Testing is
  # switched on here as well because tools/ is configured before tests/.)
  enable_testing()
  add_test(NAME tavrin_inspect_sample_json COMMAND tavrin-inspect --json <Sample>)
  set_tests_properties(tavrin_inspect_sample_json PROPERTIES
    PASS_REGULAR_EXPRESSION "\"materials\": 5,")
  add_test(NAME tavrin_inspect_missing_file COMMAND tavrin-inspect ${CMAKE_CURRENT_BINARY_DIR}/no-such-model.pmx)
  set_tests_properties(tavrin_inspect_missing_file PROPERTIES WILL_FAIL TRUE)
  # The Vulkan device report; skipped on machines with no Vulkan device at all.
  add_test(NAME tavrin_inspect_gpu_json COMMAND tavrin-inspect --gpu --json)
  set_tests_properties(tavrin_inspect_gpu_json PROPERTIES
    PASS_REGULAR_EXPRESSION "\"raytracing\": (true|false),"
    SKIP_REGULAR_EXPRESSION "No Vulkan device found")
  # Material blocks and textures of the built-in model (textures need a device).
  add_test(NAME tavrin_inspect_materials_json COMMAND tavrin-inspect --materials --json <Sample>)
  set_tests_properties(tavrin_inspect_materials_json PROPERTIES
    PASS_REGULAR_EXPRESSION "\"shadingModel\": \"Default\""
    SKIP_REGULAR_EXPRESSION "needs a Vulkan device")
endif()
