#version 460
// Sharpen: an unsharp mask. Each pixel moves away from the Gaussian average of its 3 x 3
// neighbourhood by the amount, never below zero; in a flat area the average is the pixel itself
// (the weights are powers of two), so it keeps its exact value.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/PostConstants.h"
#include "ClampedFetch.glsl"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(SharpenConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    // One group column and row more than needed run: threads outside the image stop here.
    if (p.x >= int(pc.texelSize.z) || p.y >= int(pc.texelSize.w)) return;
    const vec4 c = Fetch(pc.source, p);
    vec3 blur = c.rgb * 4.0;
    blur += (Fetch(pc.source, p + ivec2(1, 0)).rgb + Fetch(pc.source, p + ivec2(-1, 0)).rgb +
             Fetch(pc.source, p + ivec2(0, 1)).rgb + Fetch(pc.source, p + ivec2(0, -1)).rgb) * 2.0;
    blur += Fetch(pc.source, p + ivec2(1, 1)).rgb + Fetch(pc.source, p + ivec2(-1, 1)).rgb +
            Fetch(pc.source, p + ivec2(1, -1)).rgb + Fetch(pc.source, p + ivec2(-1, -1)).rgb;
    blur *= 1.0 / 16.0;
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(max(c.rgb + (c.rgb - blur) * pc.amount, vec3(0.0)), c.a));
}
