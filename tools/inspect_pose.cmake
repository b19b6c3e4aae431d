# Smoke test of the pose mode: the built-in model at two frames, as JSON.
if(TAVRIN_TESTS AND NOT TAVRIN_FUZZ)
  add_test(NAME tavrin_inspect_pose_json COMMAND tavrin-inspect --json --pose <Sample> --frames 0,10.5)
  set_tests_properties(tavrin_inspect_pose_json PROPERTIES
    PASS_REGULAR_EXPRESSION "\"frame\": 10.5,.*\"bounds\": {")
endif()
