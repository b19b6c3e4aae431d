#version 460
// The camera ray saw no surface: nothing reflects here.
#extension GL_EXT_ray_tracing : require
#include "SRPayload.glsl"

layout(location = SR_PAYLOAD_LOCATION) rayPayloadInEXT SRPayload payload;

void main() { payload.hitT = -1.0; }
