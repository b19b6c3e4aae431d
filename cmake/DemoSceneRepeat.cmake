# cmake -DGENERATOR=<gen_demo_scene> -DREFERENCE=<data/demo> -DOUTPUT=<scratch folder> -P DemoSceneRepeat.cmake
# Runs the demo scene generator into a fresh folder and checks that every file comes out
# byte-identical to the build's copy: the scene must not depend on the run.
file(REMOVE_RECURSE ${OUTPUT})
execute_process(COMMAND ${GENERATOR} ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gen_demo_scene failed: ${result}")
endif()
foreach(name mannequin.pmx dance.vmd camera.vmd music.wav)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${REFERENCE}/${name} ${OUTPUT}/${name}
                  RESULT_VARIABLE different)
  if(NOT different EQUAL 0)
    message(FATAL_ERROR "${name} differs between two runs of the generator")
  endif()
endforeach()
file(REMOVE_RECURSE ${OUTPUT})
