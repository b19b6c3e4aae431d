#version 460
// Screen-space occlusion of one level from its 16-slice de-interleaved depth: each slice is the
// level sampled every fourth texel, so the sphere reaches four times as far for the same work.
// The result goes back to the texel's place in the level ("AO Re-Interleaved").
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/SsaoConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(SsaoComputeConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, r8) uniform writeonly image2D g_Images[];

ivec2 g_Texel;
int g_Slice;

float DepthAt(ivec2 offset) {
    const ivec2 size = textureSize(g_Textures2DArray[nonuniformEXT(pc.depth)], 0).xy;
    return texelFetch(g_Textures2DArray[nonuniformEXT(pc.depth)], ivec3(clamp(g_Texel + offset, ivec2(0), size - 1), g_Slice), 0).r;
}

#include "SsaoEstimate.glsl"

void main() {
    g_Texel = ivec2(gl_GlobalInvocationID.xy);
    g_Slice = int(gl_GlobalInvocationID.z);
    const ivec2 size = ivec2(round(1.0 / pc.invSliceDimension));
    if (any(greaterThanEqual(g_Texel, size))) return;
    const ivec2 dest = g_Texel * 4 + ivec2(g_Slice & 3, g_Slice >> 2);
    if (any(greaterThanEqual(dest, imageSize(g_Images[nonuniformEXT(pc.dest)])))) return;
    imageStore(g_Images[nonuniformEXT(pc.dest)], dest, vec4(Occlusion()));
}
