# Smoke test of the motion mode of tavrin-inspect: a missing .vmd reaches the VMD mode and is
# reported as an error, not a crash.
if(TAVRIN_TESTS AND NOT TAVRIN_FUZZ)
  add_test(NAME tavrin_inspect_vmd_missing COMMAND tavrin-inspect --json ${CMAKE_CURRENT_BINARY_DIR}/no-such-motion.vmd)
  set_tests_properties(tavrin_inspect_vmd_missing PROPERTIES
    PASS_REGULAR_EXPRESSION "\"error\": \"Cannot read ")
endif()
