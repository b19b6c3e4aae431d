// Push-constant blocks of temporal anti-aliasing: depth linearisation, the temporal blend and
// the two ways back into the scene. Images are bindless heap indices.
#ifndef TAVRIN_SHARED_TAA_CONSTANTS_H
#define TAVRIN_SHARED_TAA_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// The resolved depth to view distance over the far plane.
struct TaaLineariseConstants {
    float nearZ;
    float farZ;
    uint depth;  // sampled: the resolved scene depth
    uint dest;   // storage: this frame's linear depth
};
TAVRIN_CHECK_SIZE(TaaLineariseConstants, 16)
TAVRIN_CHECK_OFFSET(TaaLineariseConstants, depth, 8)
TAVRIN_CHECK_PUSH_CONSTANTS(TaaLineariseConstants)

/// The current colour blended into the history fetched along the motion.
struct TaaBlendConstants {
    float2 rcpBufferDim;
    float rcpSpeedLimiter;
    float2 viewportJitter;  // previous minus current jitter, pixels
    uint velocity;          // sampled
    uint color;             // sampled: the scene
    uint historyIn;         // sampled
    uint curDepth;          // sampled: this frame's linear depth
    uint preDepth;          // sampled: the previous frame's linear depth
    uint dest;              // storage: the history written
};
TAVRIN_CHECK_SIZE(TaaBlendConstants, 44)
TAVRIN_CHECK_OFFSET(TaaBlendConstants, viewportJitter, 12)
TAVRIN_CHECK_OFFSET(TaaBlendConstants, velocity, 20)
TAVRIN_CHECK_OFFSET(TaaBlendConstants, dest, 40)
TAVRIN_CHECK_PUSH_CONSTANTS(TaaBlendConstants)

/// The new history back into the scene through an unsharp cross.
struct TaaSharpenConstants {
    float sharpenWA;  // weight of the centre
    float sharpenWB;  // weight of each of the four neighbours, subtracted
    uint history;     // sampled
    uint dest;        // storage: the scene
};
TAVRIN_CHECK_SIZE(TaaSharpenConstants, 16)
TAVRIN_CHECK_OFFSET(TaaSharpenConstants, history, 8)
TAVRIN_CHECK_PUSH_CONSTANTS(TaaSharpenConstants)

/// The new history back into the scene as it is.
struct TaaResolveConstants {
    uint history;  // sampled
    uint dest;     // storage: the scene
};
TAVRIN_CHECK_SIZE(TaaResolveConstants, 8)
TAVRIN_CHECK_OFFSET(TaaResolveConstants, dest, 4)
TAVRIN_CHECK_PUSH_CONSTANTS(TaaResolveConstants)

TAVRIN_SHARED_END

#endif
