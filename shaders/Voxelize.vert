#version 460
// Voxelisation, vertex stage: the model vertex in world space, handed to the geometry stage,
// which picks the projection.
#include "Bindless.glsl"
#include "shared/VoxelGi.h"
TAVRIN_PUSH_CONSTANTS(VoxelizeDrawConstants, pc)

layout(location = 0) in vec3 inPosition;
layout(location = 2) in vec3 inNormal;
layout(location = 3) in vec2 inTexCoord;

layout(location = 0) out vec3 outWorldPos;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec2 outTexCoord;

void main() {
    outWorldPos = inPosition;
    outNormal = inNormal;
    outTexCoord = inTexCoord;
    gl_Position = vec4(inPosition, 1.0);
}
