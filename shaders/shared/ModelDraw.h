// The model draw's parameters, split by how often they change. What changes from one material to
// the next travels in push constants (ModelDrawConstants, one slot per parameter of the model
// root signature, in parameter order); what stays the same for the whole frame sits in one
// per-frame block (ModelFrameConstants) that the push constants reach by address. Constant
// buffers are buffer addresses, texture tables bindless heap indices (-1 as unsigned: nothing
// bound).
#ifndef TAVRIN_SHARED_MODEL_DRAW_H
#define TAVRIN_SHARED_MODEL_DRAW_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// Set once per frame: the camera, the render configuration, the lighting passes' results and
/// the lookup tables. Addresses first, so that no member needs padding before it.
struct ModelFrameConstants {
    BufferAddress camera;          //   0: CameraBuffer
    BufferAddress renderConfig;    //   8: RenderConfig
    BufferAddress shadowData;      //  16
    BufferAddress voxelConstants;  //  24
    BufferAddress reserved;        //  32
    BufferAddress ddgiVolumes;     //  40
    uint occlusionMap;             //  48: screen-space or ray-traced AO
    uint specularReflectionMap;    //  52
    uint ambientCubemap;           //  56
    uint voxelWrite0;              //  60
    uint voxelWrite1;              //  64
    uint varianceShadowMap;        //  68
    uint shadowInput2;             //  72
    uint voxelRadiance;            //  76
    uint reservedTable0;           //  80
    uint reservedTable1;           //  84
    uint brdfIbl;                  //  88
    uint brdfSkin;                 //  92
    uint volumeSelect;             //  96
    uint ddgiTable;                // 100
};
TAVRIN_CHECK_SIZE(ModelFrameConstants, 104)
TAVRIN_CHECK_OFFSET(ModelFrameConstants, renderConfig, 8)
TAVRIN_CHECK_OFFSET(ModelFrameConstants, ddgiVolumes, 40)
TAVRIN_CHECK_OFFSET(ModelFrameConstants, occlusionMap, 48)
TAVRIN_CHECK_OFFSET(ModelFrameConstants, brdfIbl, 88)
TAVRIN_CHECK_OFFSET(ModelFrameConstants, ddgiTable, 100)

/// Set per material.
struct ModelDrawConstants {
    BufferAddress frame;     //  0: ModelFrameConstants of this frame
    BufferAddress material;  //  8: MaterialBuffer
    uint texDiffuse;         // 16
    uint texSphere;          // 20
    uint texToon;            // 24: the toon ramp (read by the classic style)
    uint texNormal;          // 28
    uint texCurvature;       // 32
    uint texThickness;       // 36
    uint texOcclusion;       // 40
    float alphaClip;         // 44
    uint materialStyle;      // 48: 0 physically based, 1 classic (resolved against the settings)
    uint padding0;           // 52: keeps the block a whole number of addresses
};
TAVRIN_CHECK_SIZE(ModelDrawConstants, 56)
TAVRIN_CHECK_OFFSET(ModelDrawConstants, material, 8)
TAVRIN_CHECK_OFFSET(ModelDrawConstants, texDiffuse, 16)
TAVRIN_CHECK_OFFSET(ModelDrawConstants, texOcclusion, 40)
TAVRIN_CHECK_OFFSET(ModelDrawConstants, alphaClip, 44)
TAVRIN_CHECK_OFFSET(ModelDrawConstants, materialStyle, 48)
TAVRIN_CHECK_PUSH_CONSTANTS(ModelDrawConstants)

/// The outline pass (Outline.vert / Outline.frag), per material.
struct OutlineConstants {
    BufferAddress camera;     //  0: CameraBuffer
    BufferAddress material;   //  8: MaterialBuffer (edge colour and size)
    float pixelsPerEdgeUnit;  // 16: outline width in pixels for edge size x vertex edge scale = 1
    uint padding0;            // 20
};
TAVRIN_CHECK_SIZE(OutlineConstants, 24)
TAVRIN_CHECK_OFFSET(OutlineConstants, pixelsPerEdgeUnit, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(OutlineConstants)

TAVRIN_SHARED_END

#endif
