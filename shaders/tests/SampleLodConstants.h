// Push constants of tests/SampleLod.comp.
#ifndef TAVRIN_SAMPLE_LOD_CONSTANTS_H
#define TAVRIN_SAMPLE_LOD_CONSTANTS_H
#include "../shared/SharedLayout.h"

#define SAMPLE_LOD_CONSTANTS(M) \
    M(vec2, uv, 0)              \
    M(float, lod, 8)            \
    M(uint, textureIndex, 12)   \
    M(uint, outputIndex, 16)
TAVRIN_PUSH_CONSTANTS(SampleLodConstants, SAMPLE_LOD_CONSTANTS, pc)

#endif
