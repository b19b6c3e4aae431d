// The lighting switches every scene shader reads (RenderConfigBuffer: 88 bytes of data in a
// 96-byte constant slot) and the ocean's constants (48 bytes).
#ifndef TAVRIN_SHARED_RENDER_CONFIG_H
#define TAVRIN_SHARED_RENDER_CONFIG_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct RenderConfig {
    float3 SunDirection;        // towards the sun
    int32 SunLightEnable;
    float3 SunColor;
    float SunIntensity;
    float3 AmbientColor;
    float AmbientIntensity;
    int32 GI_Enable;
    float GI_Diffuse_Strength;
    float GI_Specular_Strength;
    float GI_AO_Strength;
    int32 IBL_Enable;
    int32 AO_Mode;              // 0 none, 1 screen-space, 2 ray-traced
    int32 SR_Mode;
    int32 GI_Mode;
    int32 SSS_Enable;
    float SkyLightUpperLimit;
};

struct OceanConstants {
    float SEA_HEIGHT;
    float SEA_CHOPPY;
    float SEA_SPEED;
    float SEA_FREQ;
    float SEA_TIME;
    float3 SEA_BASE;
    float3 SEA_WATER_COLOR;
    float SEA_SURFACE_HEIGHT;
};

TAVRIN_CHECK_SIZE(RenderConfig, 88)
TAVRIN_CHECK_OFFSET(RenderConfig, SunLightEnable, 12)
TAVRIN_CHECK_OFFSET(RenderConfig, SunIntensity, 28)
TAVRIN_CHECK_OFFSET(RenderConfig, AmbientIntensity, 44)
TAVRIN_CHECK_OFFSET(RenderConfig, GI_Enable, 48)
TAVRIN_CHECK_OFFSET(RenderConfig, IBL_Enable, 64)
TAVRIN_CHECK_OFFSET(RenderConfig, SkyLightUpperLimit, 84)
TAVRIN_CHECK_SIZE(OceanConstants, 48)
TAVRIN_CHECK_OFFSET(OceanConstants, SEA_TIME, 16)
TAVRIN_CHECK_OFFSET(OceanConstants, SEA_BASE, 20)
TAVRIN_CHECK_OFFSET(OceanConstants, SEA_WATER_COLOR, 32)
TAVRIN_CHECK_OFFSET(OceanConstants, SEA_SURFACE_HEIGHT, 44)

TAVRIN_SHARED_END

#endif
