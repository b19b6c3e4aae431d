// Push constants of GenerateMips.comp: one dispatch builds one mip from the mip above it.
#ifndef TAVRIN_GENERATE_MIPS_CONSTANTS_H
#define TAVRIN_GENERATE_MIPS_CONSTANTS_H
#include "SharedLayout.h"

#define GENERATE_MIPS_CONSTANTS(M)                                                       \
    M(vec2, texelSize, 0) /* 1 / destination width, 1 / destination height */            \
    M(uint, srcMip, 8)    /* mip read (the views cover one mip each, so only for tools) */ \
    M(uint, isSrgb, 12)   /* 1: the source view decodes sRGB, re-encode before the write */ \
    M(uint, srcIndex, 16) /* heap index of the source mip's sampled view */               \
    M(uint, dstIndex, 20) /* heap index of the destination mip's storage view */
TAVRIN_PUSH_CONSTANTS(GenerateMipsConstants, GENERATE_MIPS_CONSTANTS, pc)

#endif
