// What a hit shader of the ray-traced scene reads about its hit: the record of the material range
// (shaders/shared/GeometryHitRecord.h) and the hit triangle's interpolated vertex.
#ifndef TAVRIN_GEOMETRY_HIT_GLSL
#define TAVRIN_GEOMETRY_HIT_GLSL
#include "shared/GeometryHitRecord.h"

struct GeometryVertex {
    vec3 position;
    vec3 lastPosition;
    vec3 normal;
    vec2 uv;
};
layout(buffer_reference, scalar, buffer_reference_align = 4) readonly buffer GeometryVertices { GeometryVertex v[]; };
layout(buffer_reference, scalar, buffer_reference_align = 4) readonly buffer GeometryIndices { uint i[]; };
layout(shaderRecordEXT, scalar) buffer GeometryHitRecordBlock { GeometryHitRecord record; };

/// The hit triangle's vertex at `barycentrics` (normal not normalised; zero for a degenerate one).
GeometryVertex GeometryHitVertex(vec2 barycentrics) {
    GeometryIndices indices = GeometryIndices(record.indices);
    GeometryVertices vertices = GeometryVertices(record.vertices);
    const uint first = 3u * uint(gl_PrimitiveID);
    const GeometryVertex a = vertices.v[indices.i[first]], b = vertices.v[indices.i[first + 1u]], c = vertices.v[indices.i[first + 2u]];
    const vec3 w = vec3(1.0 - barycentrics.x - barycentrics.y, barycentrics.x, barycentrics.y);
    GeometryVertex r;
    r.position = a.position * w.x + b.position * w.y + c.position * w.z;
    r.lastPosition = a.lastPosition * w.x + b.lastPosition * w.y + c.lastPosition * w.z;
    r.normal = a.normal * w.x + b.normal * w.y + c.normal * w.z;
    if (dot(r.normal, r.normal) < 1e-12) r.normal = cross(b.position - a.position, c.position - a.position);
    r.uv = a.uv * w.x + b.uv * w.y + c.uv * w.z;
    return r;
}

#endif
