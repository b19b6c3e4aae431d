#version 460
// Soften: a five-tap Gaussian blur with taps (strength + 1) pixels apart, down the columns from
// the scene into "SoftenTexture", then along the rows from there back into the scene, where it
// is mixed with the untouched scene by the strength.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/PostConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(SoftenConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Images)
layout(set = 1, binding = 0) uniform sampler LinearClamp;

const float kWeights[3] = float[](0.375, 0.25, 0.0625);

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    // The column pass runs one group more than it needs in each direction.
    if (p.x >= int(pc.width) || p.y >= int(pc.height)) return;
    const vec2 texel = 1.0 / vec2(pc.width, pc.height);
    const vec2 uv = (vec2(p) + 0.5) * texel;
    // sampStep is a step in units of the height; the rows step the same number of pixels.
    const vec2 stepUv = pc.rows != 0u ? vec2(pc.sampStep * float(pc.height) * texel.x, 0.0) : vec2(0.0, pc.sampStep);
    vec3 sum = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.source)], LinearClamp), uv, 0.0).rgb * kWeights[0];
    for (int i = 1; i <= 2; ++i) {
        sum += textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.source)], LinearClamp), uv + stepUv * float(i), 0.0).rgb * kWeights[i];
        sum += textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.source)], LinearClamp), uv - stepUv * float(i), 0.0).rgb * kWeights[i];
    }
    if (pc.rows == 0u) {
        imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(sum, 1.0));
        return;
    }
    const vec4 scene = imageLoad(g_Images[nonuniformEXT(pc.dest)], p);
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(mix(scene.rgb, sum, clamp(pc.strength, 0.0, 1.0)), scene.a));
}
