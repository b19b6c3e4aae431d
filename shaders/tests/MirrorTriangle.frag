#version 460
// The colour the geometry stage gave the triangle.
#include "tests/MirrorTriangleConstants.h"
TAVRIN_PUSH_CONSTANTS(MirrorTriangleConstants, pc)

layout(location = 0) in vec4 inColor;
layout(location = 0) out vec4 outColor;

void main() {
    outColor = inColor;
}
