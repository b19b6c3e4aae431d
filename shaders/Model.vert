#version 460
// Model vertex shader: the skinned vertex of this frame and of the previous one, both projected,
// so that the pixel shader can write the screen-space motion.
#include "shared/ModelDraw.h"
#include "SceneBlocks.glsl"

TAVRIN_PUSH_CONSTANTS(ModelDrawConstants, draw)
TAVRIN_BUFFER_REFERENCE(ModelFrameConstants)

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inLastPosition;
layout(location = 2) in vec3 inNormal;
layout(location = 3) in vec2 inTexCoord;

layout(location = 0) out vec3 outWorldPos;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec2 outTexCoord;
layout(location = 3) out vec4 outClip;
layout(location = 4) out vec4 outPrevClip;

void main() {
    const ModelFrameConstants frame = ModelFrameConstantsRef(draw.frame).data;
    const CameraBuffer cam = CameraBufferRef(frame.camera).data;
    const vec4 world = vec4(inPosition, 1.0);
    const vec4 clip = world * cam.view * cam.projection;
    outWorldPos = inPosition;
    outNormal = inNormal;
    outTexCoord = inTexCoord;
    outClip = clip;
    outPrevClip = vec4(inLastPosition, 1.0) * cam.prevView * cam.prevProjection;
    gl_Position = clip;
}
