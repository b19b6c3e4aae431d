// Push-constant blocks of the full-screen compute passes at the end of the frame (colour filter,
// resolve to 8 bits, resample); bloom, exposure and TAA have headers of their own. Images are
// bindless heap indices.
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
