#version 460
// Volumetric light, one direction of the separable blur at half size: a seven-tap Gaussian whose
// taps count less the further their depth lies from the centre's, so light does not bleed
// across the edges of objects.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/VolumetricConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(VolumetricBlurConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];

const float kWeights[4] = float[](0.324, 0.232, 0.0855, 0.0205);
const float kNearZ = 1.0, kFarZ = 16384.0;
// Relative depth difference at which a tap's weight has fallen to a half.
const float kDepthTolerance = 0.05;

float ViewDistance(ivec2 halfTexel) {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    const float d = texelFetch(g_Textures2D[nonuniformEXT(pc.depth)], clamp(halfTexel * 2, ivec2(0), size - 1), 0).r;
    return kNearZ * kFarZ / (kFarZ - d * (kFarZ - kNearZ));
}

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = ivec2(pc.texelSize.xy);
    if (any(greaterThanEqual(p, size))) return;
    const ivec2 direction = ivec2(pc.orientationX, pc.orientationY);
    const float z0 = ViewDistance(p);
    vec4 sum = texelFetch(g_Textures2D[nonuniformEXT(pc.source)], p, 0) * kWeights[0];
    float weight = kWeights[0];
    for (int i = 1; i <= 3; ++i)
        for (int s = -1; s <= 1; s += 2) {
            const ivec2 q = clamp(p + direction * (i * s), ivec2(0), size - 1);
            const float relative = abs(ViewDistance(q) - z0) / z0 / kDepthTolerance;
            const float w = kWeights[i] / (1.0 + relative * relative);
            sum += texelFetch(g_Textures2D[nonuniformEXT(pc.source)], q, 0) * w;
            weight += w;
        }
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, sum / weight);
}
