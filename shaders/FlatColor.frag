#version 460
// Writes the draw's colour from root constant 0.
#include "shared/FlatColorConstants.h"
TAVRIN_PUSH_CONSTANTS(FlatColorConstants, pc)

layout(location = 0) out vec4 outColor;

void main() {
    outColor = pc.color;
}
