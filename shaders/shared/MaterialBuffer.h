// The per-material record the model shaders read (320 bytes, one per material, one slot per
// frame in flight). Its fields sit where constant-buffer packing puts them (no field straddles a
// 16-byte row), which scalar layout reproduces member for member. renderer/MaterialBuffer.h fills
// it from a PMX material and the extended values.
#ifndef TAVRIN_SHARED_MATERIAL_BUFFER_H
#define TAVRIN_SHARED_MATERIAL_BUFFER_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct MaterialBuffer {
    float4 diffuse;
    float3 specular;
    float specularPower TAVRIN_DEFAULT(0.0f);
    float3 ambient;
    float edgeSize TAVRIN_DEFAULT(0.0f);
    float4 edgeColor;
    int32 textureIndex TAVRIN_DEFAULT(-1);
    int32 spTextureIndex TAVRIN_DEFAULT(-1);
    int32 spTextureMode TAVRIN_DEFAULT(0);
    int32 toonTextureIndex TAVRIN_DEFAULT(-1);
    float4 textureMulFactor;
    float4 spTextureMulFactor;
    float4 toonTextureMulFactor;
    float4 textureAddFactor;
    float4 spTextureAddFactor;
    float4 toonTextureAddFactor;
    float3 subsurfaceColor;
    float subsurface TAVRIN_DEFAULT(0.0f);
    float3 baseColorTint;
    float metallic TAVRIN_DEFAULT(0.0f);
    float3 specularTint;
    float roughness TAVRIN_DEFAULT(0.0f);
    float emission TAVRIN_DEFAULT(0.0f);
    float curvature TAVRIN_DEFAULT(0.0f);
    float thickness TAVRIN_DEFAULT(0.0f);
    float occlusion TAVRIN_DEFAULT(0.0f);
    float3 clothFuzzColor;
    float cloth TAVRIN_DEFAULT(0.0f);
    float clearCoat TAVRIN_DEFAULT(0.0f);
    float clearCoatRoughness TAVRIN_DEFAULT(0.0f);
    float anisotropy TAVRIN_DEFAULT(0.0f);
    uint shadingModel TAVRIN_DEFAULT(0);
    int32 curvatureTextureIndex TAVRIN_DEFAULT(-1);
    int32 thicknessTextureIndex TAVRIN_DEFAULT(-1);
    int32 occlusionTextureIndex TAVRIN_DEFAULT(-1);
    int32 normalTextureIndex TAVRIN_DEFAULT(-1);
    int32 bothFace TAVRIN_DEFAULT(0);
    int32 shadowCaster TAVRIN_DEFAULT(0);
    int32 shadowReceiver TAVRIN_DEFAULT(0);
    int32 edgeFlag TAVRIN_DEFAULT(0);
    // First index of the material in the model's index buffer, and how many indices it draws.
    int32 beginIndex TAVRIN_DEFAULT(0);
    int32 vertexCount TAVRIN_DEFAULT(0);
    // The material's style choice (renderer/MaterialBuffer.h: MaterialStyleChoice); the draw
    // resolves it against the render settings and hands the shaders the result.
    uint materialStyle TAVRIN_DEFAULT(0);
    uint padding1 TAVRIN_DEFAULT(0);
};
TAVRIN_CHECK_SIZE(MaterialBuffer, 320)
TAVRIN_CHECK_OFFSET(MaterialBuffer, diffuse, 0)
TAVRIN_CHECK_OFFSET(MaterialBuffer, specular, 16)
TAVRIN_CHECK_OFFSET(MaterialBuffer, specularPower, 28)
TAVRIN_CHECK_OFFSET(MaterialBuffer, ambient, 32)
TAVRIN_CHECK_OFFSET(MaterialBuffer, edgeSize, 44)
TAVRIN_CHECK_OFFSET(MaterialBuffer, edgeColor, 48)
TAVRIN_CHECK_OFFSET(MaterialBuffer, textureIndex, 64)
TAVRIN_CHECK_OFFSET(MaterialBuffer, spTextureIndex, 68)
TAVRIN_CHECK_OFFSET(MaterialBuffer, spTextureMode, 72)
TAVRIN_CHECK_OFFSET(MaterialBuffer, toonTextureIndex, 76)
TAVRIN_CHECK_OFFSET(MaterialBuffer, textureMulFactor, 80)
TAVRIN_CHECK_OFFSET(MaterialBuffer, spTextureMulFactor, 96)
TAVRIN_CHECK_OFFSET(MaterialBuffer, toonTextureMulFactor, 112)
TAVRIN_CHECK_OFFSET(MaterialBuffer, textureAddFactor, 128)
TAVRIN_CHECK_OFFSET(MaterialBuffer, spTextureAddFactor, 144)
TAVRIN_CHECK_OFFSET(MaterialBuffer, toonTextureAddFactor, 160)
TAVRIN_CHECK_OFFSET(MaterialBuffer, subsurfaceColor, 176)
TAVRIN_CHECK_OFFSET(MaterialBuffer, subsurface, 188)
TAVRIN_CHECK_OFFSET(MaterialBuffer, baseColorTint, 192)
TAVRIN_CHECK_OFFSET(MaterialBuffer, metallic, 204)
TAVRIN_CHECK_OFFSET(MaterialBuffer, specularTint, 208)
TAVRIN_CHECK_OFFSET(MaterialBuffer, roughness, 220)
TAVRIN_CHECK_OFFSET(MaterialBuffer, emission, 224)
TAVRIN_CHECK_OFFSET(MaterialBuffer, curvature, 228)
TAVRIN_CHECK_OFFSET(MaterialBuffer, thickness, 232)
TAVRIN_CHECK_OFFSET(MaterialBuffer, occlusion, 236)
TAVRIN_CHECK_OFFSET(MaterialBuffer, clothFuzzColor, 240)
TAVRIN_CHECK_OFFSET(MaterialBuffer, cloth, 252)
TAVRIN_CHECK_OFFSET(MaterialBuffer, clearCoat, 256)
TAVRIN_CHECK_OFFSET(MaterialBuffer, clearCoatRoughness, 260)
TAVRIN_CHECK_OFFSET(MaterialBuffer, anisotropy, 264)
TAVRIN_CHECK_OFFSET(MaterialBuffer, shadingModel, 268)
TAVRIN_CHECK_OFFSET(MaterialBuffer, curvatureTextureIndex, 272)
TAVRIN_CHECK_OFFSET(MaterialBuffer, thicknessTextureIndex, 276)
TAVRIN_CHECK_OFFSET(MaterialBuffer, occlusionTextureIndex, 280)
TAVRIN_CHECK_OFFSET(MaterialBuffer, normalTextureIndex, 284)
TAVRIN_CHECK_OFFSET(MaterialBuffer, bothFace, 288)
TAVRIN_CHECK_OFFSET(MaterialBuffer, shadowCaster, 292)
TAVRIN_CHECK_OFFSET(MaterialBuffer, shadowReceiver, 296)
TAVRIN_CHECK_OFFSET(MaterialBuffer, edgeFlag, 300)
TAVRIN_CHECK_OFFSET(MaterialBuffer, beginIndex, 304)
TAVRIN_CHECK_OFFSET(MaterialBuffer, vertexCount, 308)
TAVRIN_CHECK_OFFSET(MaterialBuffer, materialStyle, 312)

TAVRIN_SHARED_END

#endif
