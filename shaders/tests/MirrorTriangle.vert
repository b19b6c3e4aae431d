#version 460
// A small triangle in the left half of the viewport, from the vertex index alone.
#include "tests/MirrorTriangleConstants.h"
TAVRIN_PUSH_CONSTANTS(MirrorTriangleConstants, pc)

void main() {
    const vec2 corners[3] = vec2[](vec2(-0.9, -0.6), vec2(-0.1, -0.6), vec2(-0.5, 0.6));
    gl_Position = vec4(corners[gl_VertexIndex % 3], 0.0, 1.0);
}
