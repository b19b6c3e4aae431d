#version 460
// The resolved depth to view distance over the far plane, 2 x 2 pixels a thread.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/TaaConstants.h"
#include "ClampedFetch.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(TaaLineariseConstants, pc)

void Linearise(ivec2 p) {
    const float d = Fetch(pc.depth, p).r;
    // View distance n f / (f - d (f - n)), stored over f.
    const float linear = pc.nearZ / (pc.farZ - d * (pc.farZ - pc.nearZ));
    imageStore(g_RWTextures2D[nonuniformEXT(pc.dest)], p, vec4(linear, 0.0, 0.0, 0.0));
}

void main() {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy * 2u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            if (p.x + x < size.x && p.y + y < size.y) Linearise(p + ivec2(x, y));
}
