#version 460
// One bloom level into the next smaller one: the 2 x 2 source texels under each output texel.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/BloomConstants.h"
#include "BloomFilters.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(BloomLevelConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    if (p.x >= size.x || p.y >= size.y) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.inverseOutputSize;
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(Box4(pc.source, uv, pc.inverseOutputSize * 0.5), 1.0));
}
