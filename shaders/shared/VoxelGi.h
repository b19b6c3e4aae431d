// Voxel cone tracing: the voxelisation's per-level block (VoxelizationParameters, one 304-byte
// slot per level and frame), the push constants of the conversion and of the level refresh, and
// the block the model draw reads (VoxelGiConstants, bound as the voxel constants).
//
// The six clipmap levels share one 3D texture, stacked along y: level i occupies rows
// i * res .. (i + 1) * res - 1. Level 0 is the finest.
#ifndef TAVRIN_SHARED_VOXEL_GI_H
#define TAVRIN_SHARED_VOXEL_GI_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct VoxelizationParameters {
    float4x4 _ViewProj0;               //   0: looking along x
    float4x4 _ViewProj1;               //  64: along y
    float4x4 _ViewProj2;               // 128: along z
    float3 _SunDir;                    // 192: towards the sun
    int32 _EnableShadow;               // 204
    float3 _SunColor;                  // 208: colour times intensity
    float _Ambient;                    // 220
    float3 _RegionMin;                 // 224
    int32 _ClipmapResolution;          // 236
    float3 _RegionMax;                 // 240
    int32 _ClipmapLevel;               // 252
    float3 _PrevRegionMin;             // 256: the finer level's region (zeros for level 0)
    float _DownsampleTransitionRegionSize;  // 268
    float3 _PrevRegionMax;             // 272
    float _VoxelSize;                  // 284
    float2 _ViewportSizes;             // 288
    float padding0;                    // 296
    float padding1;                    // 300
};
TAVRIN_CHECK_SIZE(VoxelizationParameters, 304)
TAVRIN_CHECK_OFFSET(VoxelizationParameters, _SunDir, 192)
TAVRIN_CHECK_OFFSET(VoxelizationParameters, _RegionMin, 224)
TAVRIN_CHECK_OFFSET(VoxelizationParameters, _ClipmapLevel, 252)
TAVRIN_CHECK_OFFSET(VoxelizationParameters, _VoxelSize, 284)
TAVRIN_CHECK_OFFSET(VoxelizationParameters, _ViewportSizes, 288)

/// Push constants of the voxelisation draw, one slot per root parameter: the level's block, the
/// material, the sun's ShadowData block, the accumulation volume, three material textures (the
/// diffuse first), the sun's shadow map and the alpha clip (the model draw's: cut-out holes stay
/// empty). The addresses come first so that none needs padding before it.
struct VoxelizeDrawConstants {
    BufferAddress parameters;  //  0: VoxelizationParameters of the level
    BufferAddress material;    //  8: MaterialBuffer
    BufferAddress shadowData;  // 16
    uint integerVolume;        // 24: "IntegerVolume", storage view
    uint textureInput0;        // 28: the material's diffuse texture
    uint textureInput1;        // 32
    uint textureInput2;        // 36
    uint varianceShadowMap;    // 40
    float alphaClip;           // 44
};
TAVRIN_CHECK_SIZE(VoxelizeDrawConstants, 48)
TAVRIN_CHECK_OFFSET(VoxelizeDrawConstants, integerVolume, 24)
TAVRIN_CHECK_OFFSET(VoxelizeDrawConstants, varianceShadowMap, 40)
TAVRIN_CHECK_PUSH_CONSTANTS(VoxelizeDrawConstants)

/// Push constants of VoxelConvert.comp.
struct VoxelConvertConstants {
    int32 resolution;  // 0: res
    uint result;       // 4: "Voxel", storage view
    uint source;       // 8: "IntegerVolume", sampled view
};
TAVRIN_CHECK_SIZE(VoxelConvertConstants, 12)
TAVRIN_CHECK_PUSH_CONSTANTS(VoxelConvertConstants)

/// Push constants of VoxelDownsample.comp: level h is refreshed from level h - 1 where the finer
/// level lies inside it.
struct VoxelMipConstants {
    int32 _ClipmapOffsetX;  //  0: the finer level's corner inside level h, in level-h voxels
    int32 _ClipmapOffsetY;  //  4
    int32 _ClipmapOffsetZ;  //  8
    int32 _ClipmapResolution;  // 12
    int32 _ClipmapLevel;       // 16
    int32 _DownsampleTransitionRegionSize;  // 20: voxels over which the refresh fades in
    uint voxelMap;             // 24: "Voxel", storage view
};
TAVRIN_CHECK_SIZE(VoxelMipConstants, 28)
TAVRIN_CHECK_PUSH_CONSTANTS(VoxelMipConstants)

/// What the model draw reads of the voxel volume.
struct VoxelGiConstants {
    float4 levelCorner0;  //   0: xyz region corner, w voxel size
    float4 levelCorner1;  //  16
    float4 levelCorner2;  //  32
    float4 levelCorner3;  //  48
    float4 levelCorner4;  //  64
    float4 levelCorner5;  //  80
    int32 resolution;     //  96
    float3 anchor;        // 100: the point the clipmap is centred on
    float anchorStep;     // 112: level 0's snap step
    float coneTracing1;   // 116
    float coneTracing2;   // 120
    float coneTracing3;   // 124
    float coneTracing4;   // 128
};
TAVRIN_CHECK_SIZE(VoxelGiConstants, 132)
TAVRIN_CHECK_OFFSET(VoxelGiConstants, resolution, 96)
TAVRIN_CHECK_OFFSET(VoxelGiConstants, coneTracing4, 128)

TAVRIN_SHARED_END

#endif
