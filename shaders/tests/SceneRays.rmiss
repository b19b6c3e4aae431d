#version 460
// Nothing met: the payload keeps its "none" values.
#extension GL_EXT_ray_tracing : require
void main() {}
