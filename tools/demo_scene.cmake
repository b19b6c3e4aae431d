# The demo scene: a dancing mannequin, its dance, a camera motion and a music track, written by a
# generator as ordinary files into data/demo in the build tree, with the sample model as the stage
# (written there by the sample model's generator). Built with everything else, so the player, the
# export command and scripts/run.sh always find it beside the programs.
file(GLOB demo_scene_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/generators/demo/*.cpp)
add_executable(gen_demo_scene ${PROJECT_SOURCE_DIR}/tools/generators/gen_demo_scene.cpp ${demo_scene_sources})
target_include_directories(gen_demo_scene PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(gen_demo_scene PRIVATE vesma_pmxwriter)
set(TAVRIN_DEMO_DIR ${PROJECT_BINARY_DIR}/data/demo)
set(demo_scene_files ${TAVRIN_DEMO_DIR}/mannequin.pmx ${TAVRIN_DEMO_DIR}/dance.vmd ${TAVRIN_DEMO_DIR}/camera.vmd
    ${TAVRIN_DEMO_DIR}/music.wav)
add_custom_command(
  OUTPUT ${demo_scene_files}
  COMMAND gen_demo_scene ${TAVRIN_DEMO_DIR}
  DEPENDS gen_demo_scene
  COMMENT "Generating the demo scene"
  VERBATIM)
add_custom_target(tavrin_demo_scene ALL DEPENDS ${demo_scene_files})
add_dependencies(tavrin_demo_scene tavrin_demo_stage)

if(TAVRIN_TESTS AND NOT TAVRIN_FUZZ)
  enable_testing()
  # A second run of the generator writes the same bytes.
  add_test(NAME tavrin_demo_scene_repeatable
           COMMAND ${CMAKE_COMMAND} -DGENERATOR=$<TARGET_FILE:gen_demo_scene> -DREFERENCE=${TAVRIN_DEMO_DIR}
                   -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/demo_scene_repeat -P ${PROJECT_SOURCE_DIR}/cmake/DemoSceneRepeat.cmake)
endif()
