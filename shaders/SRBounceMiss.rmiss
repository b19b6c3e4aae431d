#version 460
// A reflection or shadow ray reached its length unblocked; the ray-generation shader lights a
// reflection ray that left the scene with the sky.
#extension GL_EXT_ray_tracing : require
#include "SRPayload.glsl"

layout(location = SR_BOUNCE_PAYLOAD_LOCATION) rayPayloadInEXT SRBouncePayload bounce;

void main() {
    bounce.radiance = vec3(0.0);
    bounce.hitT = -1.0;
}
