#version 460
// Volumetric light, the composite at full size: the scene dimmed by what the medium lets through
// and lit by what it scatters. Each pixel takes the four half-size texels around it, weighted
// bilinearly and by how close the depth each stands for is to the pixel's own, so the light of
// the air behind an object does not spill over its edge (and the reverse).
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/VolumetricConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(VolumetricCompositeConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Images)

const float kNearZ = 1.0, kFarZ = 16384.0;

float ViewDistance(ivec2 p) {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    const float d = texelFetch(g_Textures2D[nonuniformEXT(pc.depth)], clamp(p, ivec2(0), size - 1), 0).r;
    return kNearZ * kFarZ / (kFarZ - d * (kFarZ - kNearZ));
}

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.texelSize.x) || p.y >= int(pc.texelSize.y)) return;
    const ivec2 halfSize = textureSize(g_Textures2D[nonuniformEXT(pc.fog)], 0);
    const vec2 u = (vec2(p) + 0.5) * pc.texelSize.zw * vec2(halfSize) - 0.5;
    const ivec2 base = ivec2(floor(u));
    const vec2 f = u - vec2(base);
    const float z = ViewDistance(p);
    vec4 sum = vec4(0.0);
    float weight = 0.0;
    for (int k = 0; k < 4; ++k) {
        const ivec2 o = ivec2(k & 1, k >> 1);
        const ivec2 t = clamp(base + o, ivec2(0), halfSize - 1);
        const float bilinear = (o.x == 1 ? f.x : 1.0 - f.x) * (o.y == 1 ? f.y : 1.0 - f.y);
        // The ray march read the depth at twice the texel's position.
        const float relative = abs(ViewDistance(t * 2) - z) / z;
        const float w = bilinear / (relative + 1e-3);
        sum += texelFetch(g_Textures2D[nonuniformEXT(pc.fog)], t, 0) * w;
        weight += w;
    }
    const vec4 fog = weight > 0.0 ? sum / weight : vec4(0.0, 0.0, 0.0, 1.0);
    const vec4 scene = imageLoad(g_Images[nonuniformEXT(pc.scene)], p);
    imageStore(g_Images[nonuniformEXT(pc.scene)], p, vec4(scene.rgb * fog.a + fog.rgb, scene.a));
}
