#version 460
// The new history back into the scene through an unsharp cross: the centre weighted by WA, its
// four neighbours by WB each subtracted, never below zero.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/TaaConstants.h"
#include "ClampedFetch.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(TaaSharpenConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    if (p.x >= size.x || p.y >= size.y) return;
    const vec3 c = Fetch(pc.history, p).rgb;
    const vec3 cross = Fetch(pc.history, p + ivec2(1, 0)).rgb + Fetch(pc.history, p + ivec2(-1, 0)).rgb +
                       Fetch(pc.history, p + ivec2(0, 1)).rgb + Fetch(pc.history, p + ivec2(0, -1)).rgb;
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(max(c * pc.sharpenWA - cross * pc.sharpenWB, vec3(0.0)), 1.0));
}
