// Push constants of FlatColor.vert / FlatColor.frag: one colour for the whole draw.
#ifndef TAVRIN_FLAT_COLOR_CONSTANTS_H
#define TAVRIN_FLAT_COLOR_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct FlatColorConstants {
    float4 color;
};
TAVRIN_CHECK_SIZE(FlatColorConstants, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(FlatColorConstants)

TAVRIN_SHARED_END

#endif
