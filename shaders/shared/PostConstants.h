// Push-constant blocks of the full-screen compute passes at the end of the frame (colour filter,
// FXAA, soften, sharpen, vignette, motion blur, resolve to 8 bits, resample); bloom, exposure,
// TAA, depth of field and lens flare have headers of their own. Images are bindless heap indices.
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

/// FXAA: the scene's copy (sampled) filtered back into the scene (storage).
struct FxaaConstants {
    float4 rcpFrame;  // 1 / width, 1 / height, width, height
    uint source;      // sampled: "BlurTexture"
    uint dest;        // storage: the scene
};
TAVRIN_CHECK_SIZE(FxaaConstants, 24)
TAVRIN_CHECK_OFFSET(FxaaConstants, source, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(FxaaConstants)

/// Soften: a separable blur, down the columns into "SoftenTexture" and then along the rows back
/// into the scene, mixed in by the strength.
struct SoftenConstants {
    float sampStep;  // (strength + 1) / height: the tap spacing in texture units of the height
    float strength;
    uint width;
    uint height;
    uint source;  // sampled
    uint dest;    // storage
    uint rows;    // 0: the column pass, 1: the row pass mixing into the scene
};
TAVRIN_CHECK_SIZE(SoftenConstants, 28)
TAVRIN_CHECK_OFFSET(SoftenConstants, source, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(SoftenConstants)

/// Sharpen: an unsharp mask from the scene's copy into the scene.
struct SharpenConstants {
    float4 texelSize;  // 1 / width, 1 / height, width, height
    float amount;
    uint source;  // sampled: the copy
    uint dest;    // storage: the scene
};
TAVRIN_CHECK_SIZE(SharpenConstants, 28)
TAVRIN_CHECK_OFFSET(SharpenConstants, amount, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(SharpenConstants)

/// Vignette: the scene darkened towards its corners, in place.
struct VignetteConstants {
    float aspect;      // width / height
    float falloff;
    float2 texelSize;  // width, height
    uint scene;        // storage
};
TAVRIN_CHECK_SIZE(VignetteConstants, 20)
TAVRIN_CHECK_OFFSET(VignetteConstants, scene, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(VignetteConstants)

/// Motion blur: the scene's copy gathered along each pixel's velocity.
struct MotionBlurConstants {
    float blurLength;  // the blur's length over this frame's time in milliseconds
    uint width;
    uint height;
    uint color;     // sampled: the copy
    uint velocity;  // sampled: "SceneVelocityBuffer"
    uint dest;      // storage: the scene
};
TAVRIN_CHECK_SIZE(MotionBlurConstants, 24)
TAVRIN_CHECK_OFFSET(MotionBlurConstants, color, 12)
TAVRIN_CHECK_PUSH_CONSTANTS(MotionBlurConstants)

TAVRIN_SHARED_END

#endif
