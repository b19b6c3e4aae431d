// The blocks every scene shader reads through buffer addresses: the camera, the material and the
// render configuration, declared once in shaders/shared/ for C++ and GLSL. Each is read as
// `NameRef(address).data`; matrices arrive transposed, so `v * M` applies them.
#ifndef TAVRIN_SCENE_BLOCKS_GLSL
#define TAVRIN_SCENE_BLOCKS_GLSL
#include "shared/CameraBuffer.h"
#include "shared/MaterialBuffer.h"
#include "shared/RenderConfig.h"

TAVRIN_BUFFER_REFERENCE(CameraBuffer)
TAVRIN_BUFFER_REFERENCE(MaterialBuffer)
TAVRIN_BUFFER_REFERENCE(RenderConfig)

#endif
