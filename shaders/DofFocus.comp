#version 460
// Auto-focus: the mean view distance over a small grid around the image centre, stored in the
// focus buffer for the circle-of-confusion step.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/DofConstants.h"

layout(local_size_x = 1) in;
TAVRIN_PUSH_CONSTANTS(DofConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) buffer FocusWords { uint words[]; } g_FocusBuffers[];

#include "DofCommon.glsl"

void main() {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    float sum = 0.0;
    for (int y = -2; y <= 2; ++y)
        for (int x = -2; x <= 2; ++x) {
            const vec2 uv = vec2(0.5) + vec2(x, y) * 0.01;
            const ivec2 p = clamp(ivec2(uv * vec2(size)), ivec2(0), size - 1);
            sum += ViewDistance(texelFetch(g_Textures2D[nonuniformEXT(pc.depth)], p, 0).r);
        }
    g_FocusBuffers[nonuniformEXT(pc.focus)].words[0] = floatBitsToUint(sum / 25.0);
}
