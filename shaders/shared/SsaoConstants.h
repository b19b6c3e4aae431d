// Push constants of screen-space ambient occlusion: the depth preparation (linear depth, the
// down-sized levels and their 16-slice de-interleaved copies), the occlusion estimate per level
// and the depth-aware blur-and-upsample from coarse to fine. Images are bindless heap indices.
#ifndef TAVRIN_SHARED_SSAO_CONSTANTS_H
#define TAVRIN_SHARED_SSAO_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// Depth preparation. The first step reads the scene depth (zMagic = (far - near) / near) and
/// writes the linear depth and levels 1 and 2; the second reads level 2 and writes levels 3 and
/// 4 (invSourceSize = 1 / its size).
struct SsaoPrepareConstants {
    float zMagic;
    float2 invSourceSize;
    uint source;      // sampled
    uint linearZ;     // storage, first step only: "LinearDepth"
    uint downSized1;  // storage: the first level written (2 or 4 times smaller than the source)
    uint atlas1;      // storage: its 16-slice de-interleaved copy
    uint downSized2;  // storage: the next level
    uint atlas2;      // storage: its copy
};
TAVRIN_CHECK_SIZE(SsaoPrepareConstants, 36)
TAVRIN_CHECK_OFFSET(SsaoPrepareConstants, source, 12)
TAVRIN_CHECK_PUSH_CONSTANTS(SsaoPrepareConstants)

/// The occlusion of one level, from its de-interleaved array or its plain down-sized depth.
struct SsaoComputeConstants {
    float4 invThicknessTable[3];
    float4 sampleWeightTable[3];
    float2 invSliceDimension;
    float rejectFadeoff;    // -1 / rejection falloff
    float rcpAccentuation;  // 1 / (accentuation + 0.5)
    uint depth;             // sampled: 2-D or 16-slice array
    uint dest;              // storage: the occlusion at the level's size
};
TAVRIN_CHECK_SIZE(SsaoComputeConstants, 120)
TAVRIN_CHECK_OFFSET(SsaoComputeConstants, invSliceDimension, 96)
TAVRIN_CHECK_OFFSET(SsaoComputeConstants, depth, 112)
TAVRIN_CHECK_PUSH_CONSTANTS(SsaoComputeConstants)

/// One blur-and-upsample from a level to the next finer one.
struct SsaoBlurConstants {
    float2 invLowResolution;
    float2 invHighResolution;
    float noiseFilterStrength;
    float stepSize;
    float blurTolerance;
    float upsampleTolerance;
    uint loResDepth;  // sampled
    uint hiResDepth;  // sampled
    uint loResAO1;    // sampled: the coarse level's result so far
    uint loResAO2;    // sampled: the coarse level's plain-depth estimate
    uint hiResAO;     // sampled: the fine level's own estimate (the blend-out variant)
    uint dest;        // storage
};
TAVRIN_CHECK_SIZE(SsaoBlurConstants, 56)
TAVRIN_CHECK_OFFSET(SsaoBlurConstants, loResDepth, 32)
TAVRIN_CHECK_PUSH_CONSTANTS(SsaoBlurConstants)

TAVRIN_SHARED_END

#endif
