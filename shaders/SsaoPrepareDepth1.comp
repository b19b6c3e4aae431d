#version 460
// Screen-space occlusion, depth preparation 1: the scene depth linearised (view distance over
// the far plane, 1 / (zMagic (1 - d) + 1) for the near-to-far depth d) into "LinearDepth", and
// levels 1 and 2 with their de-interleaved copies. One thread per texel of level 1 (2 x 2
// pixels).
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/SsaoConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(SsaoPrepareConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, r16) uniform writeonly image2D g_LinearZ[];
#include "SsaoPrepareDepth.glsl"

void main() {
    const ivec2 st = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.source)], 0);
    if (any(greaterThanEqual(st * 2, size))) return;
    float topLeft = 1.0;
    for (int i = 0; i < 4; ++i) {
        const ivec2 p = st * 2 + ivec2(i & 1, i >> 1);
        if (any(greaterThanEqual(p, size))) continue;
        const float d = texelFetch(g_Textures2D[nonuniformEXT(pc.source)], p, 0).r;
        const float z = 1.0 / (pc.zMagic * (1.0 - d) + 1.0);
        imageStore(g_LinearZ[nonuniformEXT(pc.linearZ)], p, vec4(z));
        if (i == 0) topLeft = z;
    }
    WriteLevels(st, topLeft);
}
