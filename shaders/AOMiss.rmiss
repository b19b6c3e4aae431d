#version 460
// The camera ray saw no surface.
#extension GL_EXT_ray_tracing : require
#include "AOPayload.glsl"

layout(location = AO_PAYLOAD_LOCATION) rayPayloadInEXT AOPayload payload;

void main() { payload.hitT = -1.0; }
