#version 460
// The next smaller level's result, blurred with a tent of its own texel size, blended into this
// level's extract by the upsample blend factor.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/BloomConstants.h"
#include "BloomFilters.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(BloomUpsampleConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    if (p.x >= size.x || p.y >= size.y) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.inverseOutputSize;
    const vec3 higher = Tap(pc.higher, uv);
    const vec3 lower = Tent(pc.lower, uv, pc.inverseOutputSize * 2.0);
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(mix(higher, lower, pc.blend), 1.0));
}
