#version 460
// An occlusion ray reached its length unblocked.
#extension GL_EXT_ray_tracing : require
#include "AOPayload.glsl"

layout(location = AO_BOUNCE_PAYLOAD_LOCATION) rayPayloadInEXT AOBouncePayload bounce;

void main() { bounce.hitT = -1.0; }
