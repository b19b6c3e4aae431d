#version 460
// Border columns (left and right, without the corners) of every tile: thread (p, y) handles atlas row y of probe column p.
// Push constants: value0 = interior texels per side, value1 = 0 irradiance atlas, 1 distance.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "DDGIBorder.glsl"
#include "DDGICommon.glsl"
#include "shared/DDGIConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(DDGIUpdateConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Rgba16)
TAVRIN_STORAGE_IMAGES(rg32f, image2D, g_Rg32)

VolumeConstants g_volume;

void Copy(ivec2 origin, ivec2 border, int n) {
    const ivec2 source = origin + DDGIBorderSource(border, n);
    if (pc.value1 == 0u) {
        const uint image = g_volume.irradianceImage;
        imageStore(g_Rgba16[nonuniformEXT(image)], origin + border, imageLoad(g_Rgba16[nonuniformEXT(image)], source));
    } else {
        const uint image = g_volume.distanceImage;
        imageStore(g_Rg32[nonuniformEXT(image)], origin + border, imageLoad(g_Rg32[nonuniformEXT(image)], source));
    }
}

void main() {
    g_volume = VolumeConstantsRef(pc.volume).data;
    const int n = int(pc.value0);
    const ivec2 tiles = ivec2(g_volume.probeCountX * g_volume.probeCountY, g_volume.probeCountZ);
    const int tileSize = n + 2;
    const ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (id.x >= tiles.x || id.y >= tiles.y * tileSize) return;
    const int y = id.y % tileSize;
    if (y == 0 || y == n + 1) return;
    const ivec2 origin = ivec2(id.x * tileSize, id.y / tileSize * tileSize);
    Copy(origin, ivec2(0, y), n);
    Copy(origin, ivec2(n + 1, y), n);
}
