#version 460
// One group, thread i holding bin i: the histogram's mean log2 luminance (black left out) moves
// the exposure towards the one that maps it to the target luminance, by the adaptation rate,
// within the limits.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/ExposureConstants.h"

layout(local_size_x = 256) in;
TAVRIN_PUSH_CONSTANTS(ExposureAdaptConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) buffer Words { uint words[]; } g_Buffers[];

#include "ExposureBlock.glsl"

shared float s_weighted[256];
shared float s_counts[256];

void main() {
    const uint local = gl_LocalInvocationIndex;
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
    const float minLog = ReadExposureBlock(pc.exposure, 2), maxLog = ReadExposureBlock(pc.exposure, 3);
    const float range = ReadExposureBlock(pc.exposure, 4);
    float exposure = ReadExposureBlock(pc.exposure, 0);
    if (s_counts[0] > 0.0) {
        const float meanCode = s_weighted[0] / s_counts[0];
        const float meanLog = (meanCode - 1.0) / 254.0 * range + minLog;
        // Luma was measured after the current exposure: take it back out.
        const float sceneLuminance = exp2(meanLog) / exposure;
        const float target = clamp(pc.targetLuminance / max(sceneLuminance, 1e-6), pc.minExposure, pc.maxExposure);
        exposure = exp2(mix(log2(exposure), log2(target), clamp(pc.adaptationRate, 0.0, 1.0)));
    }
    WriteExposureBlock(pc.exposure, exposure, minLog, maxLog);
}
