#version 460
// The luma buffer's codes counted into the 256-bin histogram. A group covers 16 columns by 384
// rows, each thread one column in steps of 16 rows, and adds its group's counts once.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/ExposureConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(ExposureHistogramConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, r8ui) uniform readonly uimage2D g_LumaImages[];
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) buffer Words { uint words[]; } g_Buffers[];

shared uint s_bins[256];

void main() {
    const uint local = gl_LocalInvocationIndex;
    s_bins[local] = 0u;
    barrier();
    const ivec2 size = imageSize(g_LumaImages[nonuniformEXT(pc.luma)]);
    const int x = int(gl_WorkGroupID.x * 16u + gl_LocalInvocationID.x);
    const int y0 = int(gl_WorkGroupID.y * 384u + gl_LocalInvocationID.y);
    if (x < size.x)
        for (int y = y0; y < min(size.y, int(gl_WorkGroupID.y * 384u) + 384); y += 16)
            atomicAdd(s_bins[imageLoad(g_LumaImages[nonuniformEXT(pc.luma)], ivec2(x, y)).r], 1u);
    barrier();
    atomicAdd(g_Buffers[nonuniformEXT(pc.histogram)].words[local], s_bins[local]);
}
