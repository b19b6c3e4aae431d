// Push-constant blocks of the automatic exposure: the exposure block is 8 floats (exposure,
// 1 / exposure, minimum and maximum log2 luminance of the luma encoding, their range and its
// inverse), the histogram 256 counts.
#ifndef TAVRIN_SHARED_EXPOSURE_CONSTANTS_H
#define TAVRIN_SHARED_EXPOSURE_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// The exposure block set from a given exposure and log2 luminance range.
struct ExposureInitialiseConstants {
    uint exposure;  // storage buffer
    float exposureValue;
    float minLog;
    float maxLog;
};
TAVRIN_CHECK_SIZE(ExposureInitialiseConstants, 16)
TAVRIN_CHECK_OFFSET(ExposureInitialiseConstants, maxLog, 12)
TAVRIN_CHECK_PUSH_CONSTANTS(ExposureInitialiseConstants)

/// The histogram set to zero.
struct ExposureClearConstants {
    uint histogram;  // storage buffer
};
TAVRIN_CHECK_SIZE(ExposureClearConstants, 4)
TAVRIN_CHECK_PUSH_CONSTANTS(ExposureClearConstants)

/// The luma buffer's codes counted into the histogram.
struct ExposureHistogramConstants {
    uint luma;       // storage image (r8ui)
    uint histogram;  // storage buffer
};
TAVRIN_CHECK_SIZE(ExposureHistogramConstants, 8)
TAVRIN_CHECK_OFFSET(ExposureHistogramConstants, histogram, 4)
TAVRIN_CHECK_PUSH_CONSTANTS(ExposureHistogramConstants)

/// The exposure moved towards the one that maps the histogram's mean to the target luminance.
struct ExposureAdaptConstants {
    uint exposure;   // storage buffer
    uint histogram;  // storage buffer
    float targetLuminance;
    float adaptationRate;
    float minExposure;
    float maxExposure;
    float pixelCount;
};
TAVRIN_CHECK_SIZE(ExposureAdaptConstants, 28)
TAVRIN_CHECK_OFFSET(ExposureAdaptConstants, targetLuminance, 8)
TAVRIN_CHECK_OFFSET(ExposureAdaptConstants, pixelCount, 24)
TAVRIN_CHECK_PUSH_CONSTANTS(ExposureAdaptConstants)

TAVRIN_SHARED_END

#endif
