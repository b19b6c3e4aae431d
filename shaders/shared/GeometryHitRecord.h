// The local data of a hit-group record for one drawable material range, shared by every
// ray-traced pass (see docs/ARCHITECTURE.md, "Shader records"): device addresses for the
// material block and the range's vertex and index data in the frame's copies, bindless indices
// for its textures. Hit shaders declare it as
//
//   layout(shaderRecordEXT, scalar) buffer GeometryHitRecordBlock { GeometryHitRecord record; };
//
// and find a hit's triangle at record.indices[3 * gl_PrimitiveID + k] (indices into the vertices).
#ifndef TAVRIN_SHARED_GEOMETRY_HIT_RECORD_H
#define TAVRIN_SHARED_GEOMETRY_HIT_RECORD_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct GeometryHitRecord {
    BufferAddress material;   //  0: MaterialBuffer in the frame's copy
    BufferAddress indices;    //  8: the range's first index in the frame's index copy (32-bit)
    BufferAddress vertices;   // 16: the frame's vertex copy (44-byte model vertices)
    uint diffuseTexture;      // 24: bindless sampled images; the blank texture where the
    uint normalTexture;       // 28  material has none
    uint occlusionTexture;    // 32
    uint curvatureTexture;    // 36
    uint thicknessTexture;    // 40
    uint padding;             // 44
};
TAVRIN_CHECK_SIZE(GeometryHitRecord, 48)
TAVRIN_CHECK_OFFSET(GeometryHitRecord, diffuseTexture, 24)
TAVRIN_CHECK_OFFSET(GeometryHitRecord, occlusionTexture, 32)

TAVRIN_SHARED_END

#endif
