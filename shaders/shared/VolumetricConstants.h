// Volumetric light: the ray march's parameter block (VolumetricLightingParams, 224 bytes, one
// 256-byte slot per frame in flight, reached by address) and the push constants of the ray
// march, the separable blur and the composite. Images are bindless heap indices.
#ifndef TAVRIN_SHARED_VOLUMETRIC_CONSTANTS_H
#define TAVRIN_SHARED_VOLUMETRIC_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct VolumetricLightingParams {
    float4x4 _InvWorldViewProj;
    float _Time;                 // seconds the pass has run
    float3 _WorldSpaceCameraPos;
    float4 _LightColor;
    float _MaxRayLength;
    float3 _LightDir;            // the way the light travels
    float4 _TexelSize;           // half-size width, height, 1 / width, 1 / height
    float4 _VolumetricLight;     // scattering, extinction, sky distance, 1 - sky extinction
    float4 _MieG;                // 1 - g^2, 1 + g^2, 2 g, 1 / (4 pi)
    float4 _NoiseData;           // scale, intensity, intensity offset, 1
    float4 _NoiseVelocity;       // velocity x and z times the scale, 1, 1
    float4 _HeightFog;           // height the fog starts thinning, thinning per unit above it
    int32 _ApplyHeightFog;
    int32 _SampleCount;
    int32 _UseNoise;
    int32 _UseShadow;
};
TAVRIN_CHECK_SIZE(VolumetricLightingParams, 224)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _Time, 64)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _WorldSpaceCameraPos, 68)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _LightColor, 80)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _MaxRayLength, 96)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _LightDir, 100)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _TexelSize, 112)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _VolumetricLight, 128)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _MieG, 144)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _NoiseData, 160)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _NoiseVelocity, 176)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _HeightFog, 192)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _ApplyHeightFog, 208)
TAVRIN_CHECK_OFFSET(VolumetricLightingParams, _UseShadow, 220)

struct VolumetricRayMarchConstants {
    BufferAddress params;      // VolumetricLightingParams
    BufferAddress shadowData;  // the sun's shadow block (0: none)
    uint dest;                 // storage: "VolumeLightTextureHalfRes"
    uint depth;                // sampled: the resolved scene depth
    uint noise;                // sampled 3-D: "NoiseVolume"
    uint shadowMap;            // sampled: the sun's variance shadow map (~0u: none)
};
TAVRIN_CHECK_SIZE(VolumetricRayMarchConstants, 32)
TAVRIN_CHECK_OFFSET(VolumetricRayMarchConstants, dest, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(VolumetricRayMarchConstants)

struct VolumetricBlurConstants {
    float4 texelSize;  // half-size width, height, 0.5 / full width, 0.5 / full height
    uint orientationX;
    uint orientationY;
    uint dest;     // storage
    uint source;   // sampled
    uint depth;    // sampled: the resolved scene depth
};
TAVRIN_CHECK_SIZE(VolumetricBlurConstants, 36)
TAVRIN_CHECK_OFFSET(VolumetricBlurConstants, orientationX, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(VolumetricBlurConstants)

struct VolumetricCompositeConstants {
    float4 texelSize;  // width, height, 1 / width, 1 / height
    uint scene;        // storage
    uint fog;          // sampled: the blurred half-size light
    uint depth;        // sampled: the resolved scene depth
};
TAVRIN_CHECK_SIZE(VolumetricCompositeConstants, 28)
TAVRIN_CHECK_PUSH_CONSTANTS(VolumetricCompositeConstants)

TAVRIN_SHARED_END

#endif
