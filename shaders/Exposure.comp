#version 460
// Automatic exposure, one shader with a mode per step:
//   0 initialise: the exposure block from a given exposure and log2 luminance range
//   1 histogram: counts the luma buffer's codes (one group: 16 columns by 384 rows)
//   3 clear: the histogram to zero (one group)
//   2 adapt: the histogram's mean log2 luminance (black left out) moves the exposure towards
//     the one that maps it to the target luminance, by the adaptation rate, within the limits
#extension GL_EXT_nonuniform_qualifier : require
#include "shared/PostConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(ExposureConstants, pc)
layout(set = 0, binding = 1, r8ui) uniform readonly uimage2D g_LumaImages[];
layout(set = 0, binding = 2, std430) buffer Words { uint words[]; } g_Buffers[];

shared uint s_bins[256];
shared float s_weighted[256];
shared float s_counts[256];

void SetExposure(float exposure, float minLog, float maxLog) {
    const uint b = pc.exposure;
    g_Buffers[nonuniformEXT(b)].words[0] = floatBitsToUint(exposure);
    g_Buffers[nonuniformEXT(b)].words[1] = floatBitsToUint(1.0 / exposure);
    g_Buffers[nonuniformEXT(b)].words[2] = floatBitsToUint(minLog);
    g_Buffers[nonuniformEXT(b)].words[3] = floatBitsToUint(maxLog);
    g_Buffers[nonuniformEXT(b)].words[4] = floatBitsToUint(maxLog - minLog);
    g_Buffers[nonuniformEXT(b)].words[5] = floatBitsToUint(1.0 / (maxLog - minLog));
}

float Read(uint index) { return uintBitsToFloat(g_Buffers[nonuniformEXT(pc.exposure)].words[index]); }

void main() {
    const uint local = gl_LocalInvocationIndex;
    if (pc.mode == 0u) {
        if (local == 0u && gl_WorkGroupID.x == 0u) SetExposure(pc.exposureValue, pc.initialMinLog, pc.initialMaxLog);
        return;
    }
    if (pc.mode == 3u) {
        g_Buffers[nonuniformEXT(pc.histogram)].words[local] = 0u;
        return;
    }
    if (pc.mode == 1u) {
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
        return;
    }
    // Adapt: one group; thread i holds bin i.
    const float count = local == 0u ? 0.0 : float(g_Buffers[nonuniformEXT(pc.histogram)].words[local]);
    s_counts[local] = count;
    s_weighted[local] = count * float(local);
    barrier();
    for (uint stride = 128u; stride > 0u; stride >>= 1u) {
        if (local < stride) {
            s_counts[local] += s_counts[local + stride];
            s_weighted[local] += s_weighted[local + stride];
        }
        barrier();
    }
    if (local != 0u) return;
    const float minLog = Read(2), maxLog = Read(3), range = Read(4);
    float exposure = Read(0);
    if (s_counts[0] > 0.0) {
        const float meanCode = s_weighted[0] / s_counts[0];
        const float meanLog = (meanCode - 1.0) / 254.0 * range + minLog;
        // Luma was measured after the current exposure: take it back out.
        const float sceneLuminance = exp2(meanLog) / exposure;
        const float target = clamp(pc.targetLuminance / max(sceneLuminance, 1e-6), pc.minExposure, pc.maxExposure);
        exposure = exp2(mix(log2(exposure), log2(target), clamp(pc.adaptationRate, 0.0, 1.0)));
    }
    SetExposure(exposure, minLog, maxLog);
}
