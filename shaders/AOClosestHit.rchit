#version 460
// The camera ray's hit: the surface point, its interpolated normal and where it was last frame.
#extension GL_EXT_ray_tracing : require
#define TAVRIN_BINDLESS_SCENES
#include "Bindless.glsl"
#include "shared/RtaoConstants.h"
#include "AOPayload.glsl"
TAVRIN_PUSH_CONSTANTS(RtaoTraceConstants, pc)
#include "GeometryHit.glsl"

layout(location = AO_PAYLOAD_LOCATION) rayPayloadInEXT AOPayload payload;
hitAttributeEXT vec2 barycentrics;

void main() {
    const GeometryVertex hit = GeometryHitVertex(barycentrics);
    payload.position = gl_WorldRayOriginEXT + gl_WorldRayDirectionEXT * gl_HitTEXT;
    payload.hitT = gl_HitTEXT;
    payload.normal = hit.normal;
    // The vertices' previous positions, moved by the same barycentrics onto the ray's point.
    payload.lastPosition = hit.lastPosition + (payload.position - hit.position);
}
