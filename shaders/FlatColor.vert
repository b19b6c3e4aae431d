#version 460
// Positions given in clip space, one colour for the whole draw (debug geometry and tests).
layout(location = 0) in vec3 inPosition;

#include "shared/FlatColorConstants.h"
TAVRIN_PUSH_CONSTANTS(FlatColorConstants, pc)

void main() {
    gl_Position = vec4(inPosition, 1.0);
}
