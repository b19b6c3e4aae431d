#version 460
// The bloom added to the scene in place, scaled by the bloom strength (LDR path).
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/BloomConstants.h"
#include "BloomFilters.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(BloomApplyConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform image2D g_Images[];

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.scene)]);
    if (p.x >= size.x || p.y >= size.y) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.inverseOutputSize;
    const vec4 scene = imageLoad(g_Images[nonuniformEXT(pc.scene)], p);
    const vec3 c = scene.rgb + Tap(pc.bloom, uv) * pc.strength;
    imageStore(g_Images[nonuniformEXT(pc.scene)], p, vec4(c, scene.a));
}
