// Push constants of GenerateMips.comp: one dispatch builds one mip from the mip above it.
#ifndef TAVRIN_GENERATE_MIPS_CONSTANTS_H
#define TAVRIN_GENERATE_MIPS_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct GenerateMipsConstants {
    float2 texelSize;  //  0: 1 / destination width, 1 / destination height
    uint srcMip;       //  8: mip read (the views cover one mip each, so only for tools)
    uint isSrgb;       // 12: 1: the source view decodes sRGB, re-encode before the write
    uint srcIndex;     // 16: heap index of the source mip's sampled view
    uint dstIndex;     // 20: heap index of the destination mip's storage view
};
TAVRIN_CHECK_SIZE(GenerateMipsConstants, 24)
TAVRIN_CHECK_OFFSET(GenerateMipsConstants, srcMip, 8)
TAVRIN_CHECK_OFFSET(GenerateMipsConstants, isSrgb, 12)
TAVRIN_CHECK_OFFSET(GenerateMipsConstants, srcIndex, 16)
TAVRIN_CHECK_OFFSET(GenerateMipsConstants, dstIndex, 20)
TAVRIN_CHECK_PUSH_CONSTANTS(GenerateMipsConstants)

TAVRIN_SHARED_END

#endif
