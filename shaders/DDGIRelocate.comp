#version 460
// Moves probes out of geometry, one thread per probe. A probe whose rays hit back faces more
// often than backfaceThreshold is inside something: it moves past the closest back face. A probe
// closer than minFrontFaceDistance to a front face moves away from it, towards the farthest front
// face. Offsets stay within 0.45 of the spacing on each axis; a move past that is not taken.
// value0 holds the step scale as float bits.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "DDGICommon.glsl"
#include "shared/DDGIConstants.h"

layout(local_size_x = 8, local_size_y = 4) in;
TAVRIN_PUSH_CONSTANTS(DDGIUpdateConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Rgba16)

void main() {
    const VolumeConstants v = VolumeConstantsRef(pc.volume).data;
    const ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (id.x >= v.probeCountX * v.probeCountY || id.y >= v.probeCountZ) return;
    const ivec3 grid = ivec3(id.x % v.probeCountX, id.x / v.probeCountX, id.y);
    const int probe = DDGIProbeIndex(v, grid);
    const float scale = uintBitsToFloat(pc.value0);

    int backfaces = 0;
    float closestBack = 1e27, closestFront = 1e27, farthestFront = 0.0;
    vec3 closestBackDir = vec3(0.0), closestFrontDir = vec3(0.0), farthestFrontDir = vec3(0.0);
    for (int r = 0; r < v.raysPerProbe; ++r) {
        const float d = imageLoad(g_Rgba16[nonuniformEXT(v.rayDataImage)], ivec2(r, probe)).a;
        const vec3 dir = DDGIRayDirection(v, r);
        if (d < 0.0) {
            ++backfaces;
            if (-d < closestBack) { closestBack = -d; closestBackDir = dir; }
        } else {
            if (d < closestFront) { closestFront = d; closestFrontDir = dir; }
            if (d > farthestFront) { farthestFront = d; farthestFrontDir = dir; }
        }
    }

    const vec3 offset = imageLoad(g_Rgba16[nonuniformEXT(v.offsetsImage)], ivec2(id)).xyz;
    vec3 moved = offset;
    if (float(backfaces) / float(max(v.raysPerProbe, 1)) > v.backfaceThreshold) {
        moved += closestBackDir * (closestBack + v.minFrontFaceDistance * 0.5) * scale;
    } else if (closestFront < v.minFrontFaceDistance && dot(closestFrontDir, farthestFrontDir) <= 0.0) {
        moved += farthestFrontDir * min(farthestFront, v.minFrontFaceDistance) * scale;
    }
    if (all(lessThanEqual(abs(moved), 0.45 * v.probeSpacing)))
        imageStore(g_Rgba16[nonuniformEXT(v.offsetsImage)], ivec2(id), vec4(moved, 0.0));
}
