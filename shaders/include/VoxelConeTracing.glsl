// Indirect diffuse light from the voxel clipmap: cones traced from a surface point through the
// radiance volume ("Voxel": the six levels stacked along y, radiance premultiplied by coverage),
// each step reading the level whose voxels match the cone's width there. The cone tracer's
// constants of VoxelGiConstants: coneTracing1 the strength, coneTracing2 the number of cones
// (1: along the normal only, up to 7: the normal and a ring at 45 degrees), coneTracing3 the
// cone's width per unit of distance, coneTracing4 the longest distance traced.
//
// The includer declares the bindless set (Bindless.glsl) first.
#ifndef TAVRIN_VOXEL_CONE_TRACING_GLSL
#define TAVRIN_VOXEL_CONE_TRACING_GLSL
#include "shared/VoxelGi.h"

TAVRIN_BUFFER_REFERENCE(VoxelGiConstants)

const int kVoxelLevelCount = 6;

vec4 VoxelLevelCorner(VoxelGiConstants c, int level) {
    switch (level) {
    case 0: return c.levelCorner0;
    case 1: return c.levelCorner1;
    case 2: return c.levelCorner2;
    case 3: return c.levelCorner3;
    case 4: return c.levelCorner4;
    default: return c.levelCorner5;
    }
}

// The filtered radiance of `level` at `p`; alpha -1 when `p` lies outside the level.
vec4 SampleVoxelLevel(uint volume, sampler linearClamp, VoxelGiConstants c, int level, vec3 p) {
    const vec4 corner = VoxelLevelCorner(c, level);
    const float res = float(c.resolution);
    vec3 uvw = (p - corner.xyz) / (corner.w * res);
    if (any(lessThan(uvw, vec3(0.0))) || any(greaterThan(uvw, vec3(1.0)))) return vec4(0.0, 0.0, 0.0, -1.0);
    // Stay half a voxel inside the level's slab, so the filter never reads the next level.
    uvw.y = clamp(uvw.y, 0.5 / res, 1.0 - 0.5 / res);
    const vec3 coords = vec3(uvw.x, (uvw.y + float(level)) / float(kVoxelLevelCount), uvw.z);
    return textureLod(sampler3D(g_Textures3D[nonuniformEXT(volume)], linearClamp), coords, 0.0);
}

vec3 TraceVoxelCone(uint volume, sampler linearClamp, VoxelGiConstants c, vec3 origin, vec3 direction) {
    const float finest = c.levelCorner0.w;
    const float width = max(c.coneTracing3, 0.05);
    const float reach = max(c.coneTracing4, 0.0);
    vec3 light = vec3(0.0);
    float covered = 0.0;
    // Start past the surface's own voxels.
    float distance = finest * 2.0;
    for (int step = 0; step < 128 && distance < reach && covered < 0.98; ++step) {
        const float diameter = max(finest, width * distance);
        // Voxels no wider than half the distance travelled: the filter's reach then stays clear
        // of the surface the cone starts from, which would otherwise light itself.
        const float sampled = max(finest, min(diameter, distance * 0.5));
        int level = clamp(int(floor(log2(sampled / finest))), 0, kVoxelLevelCount - 1);
        vec4 s = SampleVoxelLevel(volume, linearClamp, c, level, origin + direction * distance);
        // Past a level's border the next coarser level still holds the point.
        while (s.a < 0.0 && level + 1 < kVoxelLevelCount) s = SampleVoxelLevel(volume, linearClamp, c, ++level, origin + direction * distance);
        if (s.a < 0.0) break;
        light += (1.0 - covered) * s.rgb;
        covered += (1.0 - covered) * s.a;
        distance += diameter * 0.5;
    }
    return light;
}

vec3 VoxelIndirectDiffuse(uint volume, sampler linearClamp, BufferAddress constants, vec3 position, vec3 normal) {
    const VoxelGiConstants c = VoxelGiConstantsRef(constants).data;
    const int cones = clamp(int(c.coneTracing2), 1, 7);
    const vec3 helper = abs(normal.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    const vec3 t = normalize(cross(helper, normal));
    const vec3 b = cross(normal, t);
    vec3 sum = TraceVoxelCone(volume, linearClamp, c, position, normal);
    for (int i = 1; i < cones; ++i) {
        const float angle = 6.2831853 * float(i - 1) / float(cones - 1);
        const vec3 d = normalize(normal + cos(angle) * t + sin(angle) * b);
        sum += TraceVoxelCone(volume, linearClamp, c, position, d);
    }
    return sum / float(cones) * max(c.coneTracing1, 0.0);
}

#endif
