#version 460
// Refreshes clipmap level h from level h - 1 where the finer level lies inside it: each voxel
// there becomes the mean of the 2 x 2 x 2 finer voxels it covers (alpha: the share of them that
// hold anything), fading in over the transition band at the finer level's border so the two
// resolutions meet without a seam.
#include "Bindless.glsl"
#include "shared/VoxelGi.h"
TAVRIN_PUSH_CONSTANTS(VoxelMipConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image3D, g_VoxelVolumes)

layout(local_size_x = 8, local_size_y = 8, local_size_z = 8) in;

void main() {
    const int res = pc._ClipmapResolution;
    const int half_ = res / 2;
    const ivec3 t = ivec3(gl_GlobalInvocationID);
    if (any(greaterThanEqual(t, ivec3(half_)))) return;
    const ivec3 coarse = ivec3(pc._ClipmapOffsetX, pc._ClipmapOffsetY, pc._ClipmapOffsetZ) + t;
    if (any(lessThan(coarse, ivec3(0))) || any(greaterThanEqual(coarse, ivec3(res)))) return;

    const int fineRow = (pc._ClipmapLevel - 1) * res;
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 8; ++i) {
        const ivec3 fine = t * 2 + ivec3(i & 1, (i >> 1) & 1, i >> 2);
        sum += imageLoad(g_VoxelVolumes[nonuniformEXT(pc.voxelMap)], ivec3(fine.x, fine.y + fineRow, fine.z));
    }
    const vec4 refreshed = sum * 0.125;

    // Distance to the finer level's border, in voxels of this level.
    const ivec3 edge = min(t, ivec3(half_ - 1) - t);
    const float inside = float(min(edge.x, min(edge.y, edge.z)));
    const float weight = pc._DownsampleTransitionRegionSize > 0
                             ? clamp((inside + 1.0) / float(pc._DownsampleTransitionRegionSize), 0.0, 1.0)
                             : 1.0;
    const ivec3 texel = ivec3(coarse.x, coarse.y + pc._ClipmapLevel * res, coarse.z);
    const vec4 own = imageLoad(g_VoxelVolumes[nonuniformEXT(pc.voxelMap)], texel);
    imageStore(g_VoxelVolumes[nonuniformEXT(pc.voxelMap)], texel, mix(own, refreshed, weight));
}
