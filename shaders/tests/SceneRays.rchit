#version 460
// Reports the geometry and triangle hit and samples the range's diffuse texture, through the
// hit record, at the interpolated texture coordinates.
#extension GL_EXT_ray_tracing : require
#include "Bindless.glsl"
#include "GeometryHit.glsl"
#include "tests/SceneRayConstants.h"

layout(set = 1, binding = 0) uniform sampler PointSampler;
layout(location = 0) rayPayloadInEXT SceneRayHit payload;
hitAttributeEXT vec2 barycentrics;

void main() {
    const GeometryVertex v = GeometryHitVertex(barycentrics);
    payload.geometry = gl_GeometryIndexEXT;
    payload.primitive = gl_PrimitiveID;
    payload.distance = gl_HitTEXT;
    payload.hitKind = gl_HitKindEXT;
    payload.color = textureLod(sampler2D(g_Textures2D[nonuniformEXT(record.diffuseTexture)], PointSampler), v.uv, 0.0);
}
