#version 460
// One triangle over the whole viewport, from the vertex index alone (no vertex input).
#include "Bindless.glsl"
#include "tests/CountFragmentsConstants.h"
TAVRIN_PUSH_CONSTANTS(CountFragmentsConstants, pc)

void main() {
    const vec2 corner = vec2((gl_VertexIndex << 1) & 2, gl_VertexIndex & 2);
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
