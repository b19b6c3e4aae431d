#version 460
// Depth of field, step 1: the scene at half size (each texel the mean of the 2 x 2 it covers)
// with its circle of confusion in alpha, from the nearest of the four depths.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/DofConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(DofConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) readonly buffer FocusWords { uint words[]; } g_FocusBuffers[];
layout(set = 1, binding = 0) uniform sampler LinearClamp;

#include "DofCommon.glsl"

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.texelSize.z) || p.y >= int(pc.texelSize.w)) return;
    const vec2 uv = (vec2(p) + 0.5) / pc.texelSize.zw;
    const vec3 color = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.scene)], LinearClamp), uv, 0.0).rgb;
    const ivec2 depthSize = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    float nearest = 1.0;
    for (int i = 0; i < 4; ++i) {
        const ivec2 q = clamp(p * 2 + ivec2(i & 1, i >> 1), ivec2(0), depthSize - 1);
        nearest = min(nearest, texelFetch(g_Textures2D[nonuniformEXT(pc.depth)], q, 0).r);
    }
    const float coc = CircleOfConfusion(ViewDistance(nearest), FocusDistance());
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(color, coc));
}
