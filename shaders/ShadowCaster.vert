#version 460
// Shadow casters: a model vertex through one cascade's view-projection.
#include "Bindless.glsl"
#include "shared/ShadowData.h"

TAVRIN_PUSH_CONSTANTS(ShadowCasterConstants, pc)

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec2 inTexCoord;

layout(location = 0) out vec2 outTexCoord;

void main() {
    outTexCoord = inTexCoord;
    gl_Position = vec4(inPosition, 1.0) * pc.ShadowMatrix;
}
