# The application icon, drawn by a generator: SVG for the desktop entry, an RGBA raster for the
# window icon (included by app/AppIcon.cpp).
add_executable(make_app_icon ${CMAKE_CURRENT_SOURCE_DIR}/generators/make_app_icon.cpp)
set(TAVRIN_APP_ICON_DIR ${PROJECT_BINARY_DIR}/generated/app_icon CACHE INTERNAL "")
add_custom_command(
  OUTPUT ${TAVRIN_APP_ICON_DIR}/tavrin.svg ${TAVRIN_APP_ICON_DIR}/AppIcon.inc
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVRIN_APP_ICON_DIR}
  COMMAND make_app_icon ${TAVRIN_APP_ICON_DIR}/tavrin.svg ${TAVRIN_APP_ICON_DIR}/AppIcon.inc
  DEPENDS make_app_icon
  COMMENT "Drawing the application icon")
add_custom_target(tavrin_app_icon DEPENDS ${TAVRIN_APP_ICON_DIR}/tavrin.svg ${TAVRIN_APP_ICON_DIR}/AppIcon.inc)
