// Push constants of tests/SampleLod.comp.
#ifndef TAVRIN_SAMPLE_LOD_CONSTANTS_H
#define TAVRIN_SAMPLE_LOD_CONSTANTS_H
#include "../shared/SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct SampleLodConstants {
    float2 uv;          //  0
    float lod;          //  8
    uint textureIndex;  // 12
    uint outputIndex;   // 16
};
TAVRIN_CHECK_SIZE(SampleLodConstants, 20)
TAVRIN_CHECK_OFFSET(SampleLodConstants, lod, 8)
TAVRIN_CHECK_OFFSET(SampleLodConstants, textureIndex, 12)
TAVRIN_CHECK_OFFSET(SampleLodConstants, outputIndex, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(SampleLodConstants)

TAVRIN_SHARED_END

#endif
