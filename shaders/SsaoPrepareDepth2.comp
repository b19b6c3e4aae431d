#version 460
// Screen-space occlusion, depth preparation 2: levels 3 and 4 with their de-interleaved copies
// from level 2. One thread per texel of level 3.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/SsaoConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(SsaoPrepareConstants, pc)
#include "SsaoPrepareDepth.glsl"

void main() {
    const ivec2 st = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.source)], 0);
    if (any(greaterThanEqual(st * 2, size))) return;
    WriteLevels(st, texelFetch(g_Textures2D[nonuniformEXT(pc.source)], st * 2, 0).r);
}
