#version 460
// The ocean plane, kept under the camera (it reaches the far plane in every direction) at the
// surface height. The waves are shaded per pixel; the geometry stays flat.
#include "SceneBlocks.glsl"
#include "shared/SkyConstants.h"

TAVRIN_PUSH_CONSTANTS(OceanDrawConstants, pc)
TAVRIN_BUFFER_REFERENCE(OceanConstants)

layout(location = 0) in vec3 inPosition;

layout(location = 0) out vec3 outWorldPos;
layout(location = 1) out vec4 outClip;
layout(location = 2) out vec4 outPrevClip;

void main() {
    const CameraBuffer cam = CameraBufferRef(pc.camera).data;
    const OceanConstants ocean = OceanConstantsRef(pc.ocean).data;
    const vec4 world = vec4(inPosition.x + cam.cameraWorldPos.x, ocean.SEA_SURFACE_HEIGHT, inPosition.z + cam.cameraWorldPos.z, 1.0);
    const vec4 clip = world * cam.view * cam.projection;
    outWorldPos = world.xyz;
    outClip = clip;
    outPrevClip = world * cam.prevView * cam.prevProjection;
    gl_Position = clip;
}
