#version 460
// 3-D LUT colour grading of the scene in place: the graded colour mixed in by `strength`.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/PostConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(ColorFilterConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform image2D g_Images[];
layout(set = 1, binding = 0) uniform sampler TrilinearClamp;

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.width) || p.y >= int(pc.height)) return;
    const vec4 c = imageLoad(g_Images[nonuniformEXT(pc.scene)], p);
    const vec3 inside = clamp(c.rgb, 0.0, 1.0);
    const float n = float(textureSize(g_Textures3D[nonuniformEXT(pc.lut)], 0).x);
    // Texel centres: 0 and 1 map to the first and the last entry.
    const vec3 uvw = inside * ((n - 1.0) / n) + 0.5 / n;
    const vec3 graded = textureLod(sampler3D(g_Textures3D[nonuniformEXT(pc.lut)], TrilinearClamp), uvw, 0.0).rgb;
    imageStore(g_Images[nonuniformEXT(pc.scene)], p, vec4(mix(c.rgb, graded, clamp(pc.strength, 0.0, 1.0)), c.a));
}
