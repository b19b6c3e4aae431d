// Push-constant blocks of the full-screen compute passes (resolve to 8 bits, resample, bloom,
// tone map, TAA, colour filter). Images are bindless heap indices.
#ifndef TAVRIN_SHARED_POST_CONSTANTS_H
#define TAVRIN_SHARED_POST_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// Final copy: HDR scene colour (sampled) into the 8-bit image (storage).
struct FinalCopyConstants {
    uint source;
    uint dest;
    uint width;
    uint height;
    uint swapRedBlue;  // non-zero: the output stores blue first
};
TAVRIN_CHECK_SIZE(FinalCopyConstants, 20)
TAVRIN_CHECK_PUSH_CONSTANTS(FinalCopyConstants)

/// Output resample: fits the source into the destination, keeping its aspect.
struct ResampleConstants {
    uint srcWidth;
    uint srcHeight;
    uint destWidth;
    uint destHeight;
    float widthScaling;
    float heightScaling;
    float aspectRatio;
    uint source;
    uint dest;
};
TAVRIN_CHECK_SIZE(ResampleConstants, 36)
TAVRIN_CHECK_OFFSET(ResampleConstants, source, 28)
TAVRIN_CHECK_PUSH_CONSTANTS(ResampleConstants)

/// Bloom pyramid steps, the bloom application (LDR path) and the tone map (HDR path).
struct BloomConstants {
    float2 inverseOutputSize;
    float threshold;      // extract; the blend factor for the upsample step
    float strength;       // apply and tone map
    uint sourceA;         // sampled
    uint sourceB;         // sampled (upsample: the lower-resolution level)
    uint dest;            // storage
    uint mode;            // see Bloom.comp
    uint enableTonemap;
    uint exposure;        // storage buffer of the exposure block
    uint luma;            // storage image of the luma buffer (HDR extract)
};
TAVRIN_CHECK_SIZE(BloomConstants, 44)
TAVRIN_CHECK_OFFSET(BloomConstants, sourceA, 16)
TAVRIN_CHECK_OFFSET(BloomConstants, luma, 40)
TAVRIN_CHECK_PUSH_CONSTANTS(BloomConstants)

/// Exposure block layout (8 floats): exposure, 1 / exposure, minimum and maximum log2 luminance
/// of the luma encoding, their range and its inverse.
struct ExposureConstants {
    uint mode;            // 0 initialise, 1 histogram, 2 adapt, 3 clear the histogram
    uint exposure;        // storage buffer
    uint histogram;       // storage buffer, 256 counts
    uint luma;            // storage image (r8ui)
    float exposureValue;  // initialise
    float initialMinLog;
    float initialMaxLog;
    float targetLuminance;
    float adaptationRate;
    float minExposure;
    float maxExposure;
    float pixelCount;
};
TAVRIN_CHECK_SIZE(ExposureConstants, 48)
TAVRIN_CHECK_OFFSET(ExposureConstants, exposureValue, 16)
TAVRIN_CHECK_OFFSET(ExposureConstants, pixelCount, 44)
TAVRIN_CHECK_PUSH_CONSTANTS(ExposureConstants)

/// TAA: linearise depth, temporal blend, write back.
struct TaaConstants {
    float2 rcpBufferDim;
    float rcpSpeedLimiter;
    float2 viewportJitter;  // previous minus current jitter, pixels
    float nearZ;
    float farZ;
    float sharpenWA;
    float sharpenWB;
    uint velocity;     // sampled
    uint color;        // sampled
    uint historyIn;    // sampled
    uint curDepth;     // sampled
    uint preDepth;     // sampled
    uint dest;         // storage
    uint mode;         // 0 linearise, 1 blend, 2 sharpen, 3 resolve
};
TAVRIN_CHECK_SIZE(TaaConstants, 64)
TAVRIN_CHECK_OFFSET(TaaConstants, viewportJitter, 12)
TAVRIN_CHECK_OFFSET(TaaConstants, velocity, 36)
TAVRIN_CHECK_OFFSET(TaaConstants, mode, 60)
TAVRIN_CHECK_PUSH_CONSTANTS(TaaConstants)

/// 3-D LUT colour filter.
struct ColorFilterConstants {
    uint scene;  // storage
    uint lut;    // sampled 3-D
    uint width;
    uint height;
    float strength;
};
TAVRIN_CHECK_SIZE(ColorFilterConstants, 20)
TAVRIN_CHECK_OFFSET(ColorFilterConstants, strength, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(ColorFilterConstants)

TAVRIN_SHARED_END

#endif
