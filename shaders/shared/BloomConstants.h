// Push-constant blocks of the bloom chain (extract, downsample, blur, upsample), the bloom's
// application to the scene (LDR path) and the tone map (HDR path). Images are bindless heap
// indices.
#ifndef TAVRIN_SHARED_BLOOM_CONSTANTS_H
#define TAVRIN_SHARED_BLOOM_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// The scene's light above the threshold into the first bloom level.
struct BloomExtractConstants {
    float2 inverseOutputSize;
    float threshold;
    uint source;  // sampled: the scene
    uint dest;    // storage: the first level
};
TAVRIN_CHECK_SIZE(BloomExtractConstants, 20)
TAVRIN_CHECK_OFFSET(BloomExtractConstants, threshold, 8)
TAVRIN_CHECK_OFFSET(BloomExtractConstants, dest, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(BloomExtractConstants)

/// As the plain extract, on the scene times the current exposure, and each texel's luma code
/// into the luma buffer for the exposure histogram.
struct BloomExtractHdrConstants {
    float2 inverseOutputSize;
    float threshold;
    uint source;    // sampled: the scene
    uint dest;      // storage: the first level
    uint exposure;  // storage buffer: the exposure block
    uint luma;      // storage image (r8ui): the luma buffer
};
TAVRIN_CHECK_SIZE(BloomExtractHdrConstants, 28)
TAVRIN_CHECK_OFFSET(BloomExtractHdrConstants, threshold, 8)
TAVRIN_CHECK_OFFSET(BloomExtractHdrConstants, luma, 24)
TAVRIN_CHECK_PUSH_CONSTANTS(BloomExtractHdrConstants)

/// One level filtered into another: the downsample into the next smaller level, and the blur
/// of the smallest level.
struct BloomLevelConstants {
    float2 inverseOutputSize;
    uint source;  // sampled
    uint dest;    // storage
};
TAVRIN_CHECK_SIZE(BloomLevelConstants, 16)
TAVRIN_CHECK_OFFSET(BloomLevelConstants, source, 8)
TAVRIN_CHECK_PUSH_CONSTANTS(BloomLevelConstants)

/// The blurred lower level blended into the higher one.
struct BloomUpsampleConstants {
    float2 inverseOutputSize;
    float blend;  // share of the lower level
    uint higher;  // sampled: this level's extract
    uint lower;   // sampled: the next smaller level's result
    uint dest;    // storage
};
TAVRIN_CHECK_SIZE(BloomUpsampleConstants, 24)
TAVRIN_CHECK_OFFSET(BloomUpsampleConstants, blend, 8)
TAVRIN_CHECK_OFFSET(BloomUpsampleConstants, dest, 20)
TAVRIN_CHECK_PUSH_CONSTANTS(BloomUpsampleConstants)

/// The bloom added to the scene (LDR path).
struct BloomApplyConstants {
    float2 inverseOutputSize;
    float strength;
    uint bloom;  // sampled: the first level's result
    uint scene;  // storage
};
TAVRIN_CHECK_SIZE(BloomApplyConstants, 20)
TAVRIN_CHECK_OFFSET(BloomApplyConstants, strength, 8)
TAVRIN_CHECK_OFFSET(BloomApplyConstants, scene, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(BloomApplyConstants)

/// Exposure, bloom and, when enabled, the filmic curve on the scene (HDR path).
struct ToneMapConstants {
    float2 inverseOutputSize;
    float strength;
    uint bloom;          // sampled: the first level's result
    uint scene;          // storage
    uint exposure;       // storage buffer: the exposure block
    uint enableTonemap;  // non-zero: apply the curve
};
TAVRIN_CHECK_SIZE(ToneMapConstants, 28)
TAVRIN_CHECK_OFFSET(ToneMapConstants, strength, 8)
TAVRIN_CHECK_OFFSET(ToneMapConstants, enableTonemap, 24)
TAVRIN_CHECK_PUSH_CONSTANTS(ToneMapConstants)

TAVRIN_SHARED_END

#endif
