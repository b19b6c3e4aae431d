#version 460
// Builds mip i of an rgba16f 3D texture from mip i-1: each destination texel is the mean of the
// 2 x 2 x 2 source texels under it (a source side of 1 repeats its one texel).
#include "Bindless.glsl"
#include "shared/VolumeMipConstants.h"
TAVRIN_PUSH_CONSTANTS(VolumeMipConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image3D, g_Volumes)

layout(local_size_x = 4, local_size_y = 4, local_size_z = 4) in;

void main() {
    const ivec3 dstSize = imageSize(g_Volumes[nonuniformEXT(pc.dstIndex)]);
    const ivec3 dst = ivec3(gl_GlobalInvocationID);
    if (any(greaterThanEqual(dst, dstSize))) return;
    const ivec3 last = imageSize(g_Volumes[nonuniformEXT(pc.srcIndex)]) - 1;
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 8; ++i) {
        const ivec3 src = min(dst * 2 + ivec3(i & 1, (i >> 1) & 1, i >> 2), last);
        sum += imageLoad(g_Volumes[nonuniformEXT(pc.srcIndex)], src);
    }
    imageStore(g_Volumes[nonuniformEXT(pc.dstIndex)], dst, sum * 0.125);
}
