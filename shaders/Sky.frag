#version 460
// The environment image in the view direction, and the motion the camera's turn gives it.
#include "Bindless.glsl"
#include "SceneBlocks.glsl"
#include "SkyMapping.glsl"
#include "shared/SkyConstants.h"

TAVRIN_PUSH_CONSTANTS(SkyDrawConstants, pc)
layout(set = 1, binding = 0) uniform sampler SkySampler;  // linear, mip point; wrap u, clamp v

layout(location = 0) in vec3 inDirection;
layout(location = 1) in vec4 inClip;
layout(location = 2) in vec4 inPrevClip;

layout(location = 0) out vec4 outColor;
layout(location = 1) out vec4 outVelocity;

void main() {
    const vec3 dir = normalize(inDirection);
    // An explicit level: the u seam would otherwise pick a tiny mip from its derivative jump.
    const vec3 sky = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.skyMap)], SkySampler), EquirectUv(dir), 0.0).rgb;
    outColor = vec4(min(sky, vec3(pc.maxRadiance)), 1.0);
    const vec2 ndc = inClip.xy / inClip.w;
    const vec2 prevNdc = inPrevClip.xy / inPrevClip.w;
    outVelocity = vec4((ndc - prevNdc) * vec2(0.5, -0.5), 0.0, 1.0);
}
