# tavrin-inspect: a dispatcher (main.cpp) and one source file per mode.
file(GLOB inspect_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/inspect/*.cpp)
add_executable(tavrin-inspect ${inspect_sources})
target_link_libraries(tavrin-inspect PRIVATE vesma tavrin_assets tavrin_core)
