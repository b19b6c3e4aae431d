# tavrin-export: the scene rendered without a window into an MP4 video.
add_executable(tavrin-export ${CMAKE_CURRENT_SOURCE_DIR}/export/main.cpp)
target_link_libraries(tavrin-export PRIVATE tavrin_export tavrin_scene tavrin_core)

if(TAVRIN_TESTS AND NOT TAVRIN_FUZZ)
  enable_testing()
  add_test(NAME tavrin_export_help COMMAND tavrin-export --help)
  set_tests_properties(tavrin_export_help PROPERTIES PASS_REGULAR_EXPRESSION "Exit codes: 0 done")
  # A wrong command line exits with 2 and does nothing.
  add_test(NAME tavrin_export_usage_error COMMAND sh -c "$<TARGET_FILE:tavrin-export> --size 101x100 -o x.mp4; test $? -eq 2")
  # --set names come from the renderer's table: an unknown one is a usage error before any work.
  add_test(NAME tavrin_export_bad_setting COMMAND sh -c "$<TARGET_FILE:tavrin-export> --set NoSuchSetting=1 -o x.mp4; test $? -eq 2")
  # A short video of the built-in model; skipped where there is no Vulkan device.
  add_test(NAME tavrin_export_sample COMMAND sh -c
    "$<TARGET_FILE:tavrin-export> -o '${CMAKE_CURRENT_BINARY_DIR}/export-sample.mp4' --size 64x48 --seconds 0.2 --preset ultrafast --set Exposure=1.2 '<Sample>' && ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '${CMAKE_CURRENT_BINARY_DIR}/export-sample.mp4'")
  set_tests_properties(tavrin_export_sample PROPERTIES
    PASS_REGULAR_EXPRESSION "\n6\n"
    SKIP_REGULAR_EXPRESSION "No Vulkan device found"
    ENVIRONMENT "SDL_AUDIODRIVER=dummy")
  # Ctrl-C: exit code 130 and a file that plays.
  add_test(NAME tavrin_export_interrupt COMMAND sh -c
    "out='${CMAKE_CURRENT_BINARY_DIR}/export-interrupt.mp4'; rm -f \"$out\"; $<TARGET_FILE:tavrin-export> -o \"$out\" --size 256x144 --seconds 600 --preset ultrafast '<Sample>' & pid=$!; sleep 4; kill -INT $pid; wait $pid; rc=$?; echo exit=$rc; test $rc -eq 130 && test -z \"$(ffprobe -v error \"$out\" 2>&1)\" && echo playable")
  set_tests_properties(tavrin_export_interrupt PROPERTIES
    PASS_REGULAR_EXPRESSION "exit=130\nplayable"
    SKIP_REGULAR_EXPRESSION "No Vulkan device found"
    ENVIRONMENT "SDL_AUDIODRIVER=dummy")
endif()
