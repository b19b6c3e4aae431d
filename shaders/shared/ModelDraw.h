// Push-constant block of the model pipelines: one slot per parameter of the model root signature,
// in parameter order. Constant buffers are buffer addresses (8-byte aligned, so the gap before an
// address that follows an odd number of words is left unnamed, as the root signature leaves it),
// texture tables are bindless heap indices (-1 as unsigned: nothing bound).
#ifndef TAVRIN_SHARED_MODEL_DRAW_H
#define TAVRIN_SHARED_MODEL_DRAW_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct ModelDrawConstants {
    BufferAddress camera;          //  0: CameraBuffer
    BufferAddress material;        //  1: MaterialBuffer
    BufferAddress renderConfig;    //  2: RenderConfig
    uint texDiffuse;               //  3
    uint texSphere;                //  4
    uint texToon;                  //  5 (not bound by the model draw)
    uint texNormal;                //  6
    uint texCurvature;             //  7
    uint texThickness;             //  8
    uint texOcclusion;             //  9
    uint occlusionMap;             // 10: screen-space or ray-traced AO
    uint specularReflectionMap;    // 11
    uint ambientCubemap;           // 12
    uint voxelWrite0;              // 13
    uint voxelWrite1;              // 14
    uint varianceShadowMap;        // 15
    uint shadowInput2;             // 16
    BufferAddress shadowData;      // 17
    uint voxelRadiance;            // 18
    BufferAddress voxelConstants;  // 19
    uint reserved20;               // 20
    uint reserved21;               // 21
    BufferAddress reserved22;      // 22
    uint brdfIbl;                  // 23
    uint brdfSkin;                 // 24
    uint volumeSelect;             // 25
    BufferAddress ddgiVolumes;     // 26
    uint ddgiTable;                // 27
    float alphaClip;               // 28
};

TAVRIN_CHECK_SIZE(ModelDrawConstants, 152)

TAVRIN_SHARED_END

#endif
