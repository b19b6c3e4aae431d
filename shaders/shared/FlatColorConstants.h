// Push constants of FlatColor.vert / FlatColor.frag: one colour for the whole draw.
#ifndef TAVRIN_FLAT_COLOR_CONSTANTS_H
#define TAVRIN_FLAT_COLOR_CONSTANTS_H
#include "SharedLayout.h"

#define FLAT_COLOR_CONSTANTS(M) M(vec4, color, 0)
TAVRIN_PUSH_CONSTANTS(FlatColorConstants, FLAT_COLOR_CONSTANTS, pc)

#endif
