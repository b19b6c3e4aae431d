// Push constants of the depth of field's four steps (auto-focus, circle of confusion, bokeh
// gather, composite), one block for all: the lens parameters, a texel size whose meaning each
// step gives below, and the images as bindless heap indices.
#ifndef TAVRIN_SHARED_DOF_CONSTANTS_H
#define TAVRIN_SHARED_DOF_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct DofConstants {
    float nearZ;
    float farZ;
    float distance;   // focus distance, at least the focal length
    float lensCoeff;  // f^2 / ((s - f) N 0.024 2): circle of confusion per unit of (z - s) / z
    float maxCoC;     // largest circle of confusion, in image heights
    float rcpMaxCoC;
    float rcpAspect;  // height / width
    int32 autoFocus;  // non-zero: the distance comes from the focus buffer
    float4 texelSize; // circle of confusion: 1 / W, 1 / H, w / 2, h / 2; gather: 1 / (w / 2),
                      // 1 / (h / 2), w / 2, h / 2; composite: 1 / W, 1 / H, W, H
    uint scene;       // sampled (circle of confusion) or storage (composite)
    uint depth;       // sampled: the resolved scene depth
    uint focus;       // storage buffer: word 0 is the measured focus distance
    uint source;      // sampled: "DofCoc" for the gather, "DofBlur" for the composite
    uint dest;        // storage: "DofCoc" or "DofBlur"
};
TAVRIN_CHECK_SIZE(DofConstants, 68)
TAVRIN_CHECK_OFFSET(DofConstants, autoFocus, 28)
TAVRIN_CHECK_OFFSET(DofConstants, texelSize, 32)
TAVRIN_CHECK_OFFSET(DofConstants, scene, 48)
TAVRIN_CHECK_PUSH_CONSTANTS(DofConstants)

TAVRIN_SHARED_END

#endif
