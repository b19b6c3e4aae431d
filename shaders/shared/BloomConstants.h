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

/// One level filtered into another: the downsample into the next smaller level, and the blur
/// of the smallest level.
struct BloomLevelConstants {
    float2 inverseOutputSize;
    uint source;  // sampled
    uint dest;    // storage
};

/// The blurred lower level blended into the higher one.
struct BloomUpsampleConstants {
    float2 inverseOutputSize;
    float blend;  // share of the lower level
    uint higher;  // sampled: this level's extract
    uint lower;   // sampled: the next smaller level's result
    uint dest;    // storage
};

/// The bloom added to the scene (LDR path).
struct BloomApplyConstants {
    float2 inverseOutputSize;
    float strength;
    uint bloom;  // sampled: the first level's result
    uint scene;  // storage
};

/// Exposure, bloom and, when enabled, the filmic curve on the scene (HDR path).
struct ToneMapConstants {
    float2 inverseOutputSize;
    float strength;
    uint bloom;          // sampled: the first level's result
    uint scene;          // storage
    uint exposure;       // storage buffer: the exposure block
    uint enableTonemap;  // non-zero: apply the curve
};

TAVRIN_SHARED_END

#endif
