#version 460
// The sun's visibility, faded over time in a 1 x 1 image: the share of a 5 x 5 pattern around
// the sun's pixel where nothing nearer than the sun was drawn (none when the sun is off the
// image), approached at the fade-in speed when rising and the fade-out speed when falling.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/LensFlareConstants.h"

layout(local_size_x = 1) in;
TAVRIN_PUSH_CONSTANTS(LensFlareVisibilityConstants, pc)
TAVRIN_STORAGE_IMAGES(r16f, image2D, g_Images)

const float kNearZ = 1.0, kFarZ = 16384.0;
const int kSpacing = 4;  // pixels between the pattern's samples

void main() {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    float visible = 0.0;
    for (int y = -2; y <= 2; ++y)
        for (int x = -2; x <= 2; ++x) {
            const ivec2 p = ivec2(pc.lightPosX, pc.lightPosY) + ivec2(x, y) * kSpacing;
            if (any(lessThan(p, ivec2(0))) || any(greaterThanEqual(p, size))) continue;
            const float depth = texelFetch(g_Textures2D[nonuniformEXT(pc.depth)], p, 0).r;
            const float z = kNearZ * kFarZ / (kFarZ - depth * (kFarZ - kNearZ));
            if (depth >= 1.0 || z >= pc.maskDistance) visible += 1.0 / 25.0;
        }
    const float current = imageLoad(g_Images[nonuniformEXT(pc.lumAve)], ivec2(0)).r;
    const float speed = visible > current ? pc.fadeSpeed.x : pc.fadeSpeed.y;
    const float next = mix(current, visible, clamp(pc.elapsed * speed, 0.0, 1.0));
    imageStore(g_Images[nonuniformEXT(pc.lumAve)], ivec2(0), vec4(clamp(next, 0.0, 1.0)));
}
