#version 460
// The scene in place with the bloom added, times the exposure and, when enabled, through a
// filmic curve (HDR path).
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/BloomConstants.h"
#include "BloomFilters.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(ToneMapConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform image2D g_Images[];
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) readonly buffer ExposureBlock { float values[]; } g_Buffers[];

vec3 Filmic(vec3 x) {
    // A rational fit of the ACES curve, with white at about 11.
    return clamp((x * (2.51 * x + 0.03)) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);
}

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.scene)]);
    if (p.x >= size.x || p.y >= size.y) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.inverseOutputSize;
    const vec4 scene = imageLoad(g_Images[nonuniformEXT(pc.scene)], p);
    vec3 c = scene.rgb + Tap(pc.bloom, uv) * pc.strength;
    c *= g_Buffers[nonuniformEXT(pc.exposure)].values[0];
    if (pc.enableTonemap != 0u) c = Filmic(c);
    imageStore(g_Images[nonuniformEXT(pc.scene)], p, vec4(c, scene.a));
}
