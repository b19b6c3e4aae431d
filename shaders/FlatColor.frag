#version 460
// Writes the draw's colour from root constant 0.
layout(push_constant) uniform FlatColorConstants {
    vec4 color;
} pc;

layout(location = 0) out vec4 outColor;

void main() {
    outColor = pc.color;
}
