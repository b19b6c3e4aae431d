#version 460
// Emits each triangle twice: as it came, in red, and moved right by the root constant, in green.
#include "tests/MirrorTriangleConstants.h"
TAVRIN_PUSH_CONSTANTS(MirrorTriangleConstants, pc)

layout(triangles) in;
layout(triangle_strip, max_vertices = 6) out;
layout(location = 0) out vec4 outColor;

void main() {
    for (int copy = 0; copy < 2; ++copy) {
        for (int i = 0; i < 3; ++i) {
            gl_Position = gl_in[i].gl_Position + vec4(copy * pc.shift, 0.0, 0.0, 0.0);
            outColor = copy == 0 ? vec4(1.0, 0.0, 0.0, 1.0) : vec4(0.0, 1.0, 0.0, 1.0);
            EmitVertex();
        }
        EndPrimitive();
    }
}
