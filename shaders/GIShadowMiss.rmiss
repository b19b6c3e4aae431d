#version 460
// A shadow ray that reaches the sun unblocked.
#extension GL_EXT_ray_tracing : require
#include "GIPayloadShadow.glsl"

void main() { shadowVisible = true; }
