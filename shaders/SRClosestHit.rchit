#version 460
// The camera ray's hit: the surface point, its interpolated normal, its material's roughness and
// where it was last frame.
#extension GL_EXT_ray_tracing : require
#define TAVRIN_BINDLESS_SCENES
#include "Bindless.glsl"
#include "SceneBlocks.glsl"
#include "shared/ReflectionConstants.h"
#include "SRPayload.glsl"
TAVRIN_PUSH_CONSTANTS(ReflectionTraceConstants, pc)
#include "GeometryHit.glsl"

layout(location = SR_PAYLOAD_LOCATION) rayPayloadInEXT SRPayload payload;
hitAttributeEXT vec2 barycentrics;

void main() {
    const GeometryVertex hit = GeometryHitVertex(barycentrics);
    payload.position = gl_WorldRayOriginEXT + gl_WorldRayDirectionEXT * gl_HitTEXT;
    payload.hitT = gl_HitTEXT;
    payload.normal = hit.normal;
    payload.roughness = MaterialBufferRef(record.material).data.roughness;
    // The vertices' previous positions, moved by the same barycentrics onto the ray's point.
    payload.lastPosition = hit.lastPosition + (payload.position - hit.position);
}
