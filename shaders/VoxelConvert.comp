#version 460
// Turns the voxelisation's packed running means ("IntegerVolume") into the radiance volume
// ("Voxel"): rgb the mean radiance, alpha 1 where anything was voxelised, 0 elsewhere.
#include "Bindless.glsl"
#include "VoxelPacking.glsl"
#include "shared/VoxelGi.h"
TAVRIN_PUSH_CONSTANTS(VoxelConvertConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image3D, g_VoxelVolumes)
layout(set = 0, binding = TAVRIN_BINDING_SAMPLED_IMAGES) uniform utexture3D g_UintVolumes[];

layout(local_size_x = 8, local_size_y = 8, local_size_z = 8) in;

void main() {
    const ivec3 texel = ivec3(gl_GlobalInvocationID);
    if (any(greaterThanEqual(texel, ivec3(pc.resolution, pc.resolution * 6, pc.resolution)))) return;
    const vec4 mean = UnpackVoxel(texelFetch(g_UintVolumes[nonuniformEXT(pc.source)], texel, 0).r);
    const vec4 radiance = mean.a > 0.0 ? vec4(mean.rgb, 1.0) : vec4(0.0);
    imageStore(g_VoxelVolumes[nonuniformEXT(pc.result)], texel, radiance);
}
