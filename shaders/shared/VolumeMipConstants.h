// Push constants of GenerateVolumeMips.comp: one dispatch builds one mip of a 3D texture from the
// mip above it, both read and written through storage views.
#ifndef TAVRIN_VOLUME_MIP_CONSTANTS_H
#define TAVRIN_VOLUME_MIP_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct VolumeMipConstants {
    uint srcIndex;  //  0: heap index of the source mip's storage view
    uint dstIndex;  //  4: heap index of the destination mip's storage view
};
TAVRIN_CHECK_SIZE(VolumeMipConstants, 8)
TAVRIN_CHECK_OFFSET(VolumeMipConstants, dstIndex, 4)
TAVRIN_CHECK_PUSH_CONSTANTS(VolumeMipConstants)

TAVRIN_SHARED_END

#endif
