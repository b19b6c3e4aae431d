#version 460
// The sky sphere around the camera (the model vertex layout; only the position is read): only
// its directions count, so the camera's translation is
// left out and every vertex lands on the far plane (depth 1), behind everything else.
#include "SceneBlocks.glsl"
#include "shared/SkyConstants.h"

TAVRIN_PUSH_CONSTANTS(SkyDrawConstants, pc)

layout(location = 0) in vec3 inPosition;

layout(location = 0) out vec3 outDirection;
layout(location = 1) out vec4 outClip;
layout(location = 2) out vec4 outPrevClip;

void main() {
    const CameraBuffer cam = CameraBufferRef(pc.camera).data;
    const vec4 direction = vec4(inPosition, 0.0);
    const vec4 clip = direction * cam.view * cam.projection;
    outDirection = inPosition;
    outClip = clip;
    outPrevClip = direction * cam.prevView * cam.prevProjection;
    gl_Position = clip.xyww;
}
