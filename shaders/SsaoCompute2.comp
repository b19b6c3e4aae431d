#version 460
// Screen-space occlusion of one level from its plain down-sized depth ("AO High Quality"): the
// same estimate over the level's own neighbours.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/SsaoConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(SsaoComputeConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, r8) uniform writeonly image2D g_Images[];

ivec2 g_Texel;

float DepthAt(ivec2 offset) {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    return texelFetch(g_Textures2D[nonuniformEXT(pc.depth)], clamp(g_Texel + offset, ivec2(0), size - 1), 0).r;
}

#include "SsaoEstimate.glsl"

void main() {
    g_Texel = ivec2(gl_GlobalInvocationID.xy);
    if (any(greaterThanEqual(g_Texel, imageSize(g_Images[nonuniformEXT(pc.dest)])))) return;
    imageStore(g_Images[nonuniformEXT(pc.dest)], g_Texel, vec4(Occlusion()));
}
