#version 460
// One group per probe, one thread per interior texel of its distance tile: the mean hit distance
// and its square around the texel's direction, weighted by cos^distanceExponent, blended into
// the atlas with the volume's hysteresis. Distances are capped at 1.5 probe spacings.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "DDGICommon.glsl"
#include "shared/DDGIConstants.h"

layout(local_size_x = 12, local_size_y = 12) in;
TAVRIN_PUSH_CONSTANTS(DDGIUpdateConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Rgba16)
TAVRIN_STORAGE_IMAGES(rg32f, image2D, g_Rg32)

// This frame's rays of the probe, loaded once for the whole tile.
shared vec3 s_direction[kDDGIMaxRays];
shared float s_distance[kDDGIMaxRays];

void main() {
    const VolumeConstants v = VolumeConstantsRef(pc.volume).data;
    const int texels = v.distanceTexels;
    const ivec2 tile = ivec2(gl_WorkGroupID.xy);
    const ivec2 t = ivec2(gl_LocalInvocationID.xy);
    if (tile.x >= v.probeCountX * v.probeCountY || tile.y >= v.probeCountZ) return;  // the whole group
    const ivec3 grid = ivec3(tile.x % v.probeCountX, tile.x / v.probeCountX, tile.y);
    const int probe = DDGIProbeIndex(v, grid);
    const float maxDistance = length(v.probeSpacing) * 1.5;
    const int rays = min(v.raysPerProbe, kDDGIMaxRays);
    for (int r = int(gl_LocalInvocationIndex); r < rays; r += int(gl_WorkGroupSize.x * gl_WorkGroupSize.y)) {
        s_direction[r] = DDGIRayDirection(v, r);
        s_distance[r] = min(abs(imageLoad(g_Rgba16[nonuniformEXT(v.rayDataImage)], ivec2(r, probe)).a), maxDistance);
    }
    barrier();
    if (t.x >= texels || t.y >= texels) return;
    const vec3 n = DDGIOctDecode((vec2(t) + 0.5) / float(texels) * 2.0 - 1.0);

    vec2 sum = vec2(0.0);
    float weightSum = 0.0;
    for (int r = 0; r < rays; ++r) {
        const float c = max(dot(n, s_direction[r]), 0.0);
        if (c <= 0.0) continue;
        const float w = pow(c, v.distanceExponent);
        const float d = s_distance[r];
        sum += w * vec2(d, d * d);
        weightSum += w;
    }
    const vec2 result = weightSum > 0.0 ? sum / weightSum : vec2(maxDistance, maxDistance * maxDistance);
    const ivec2 texel = tile * (texels + 2) + 1 + t;
    const vec2 previous = imageLoad(g_Rg32[nonuniformEXT(v.distanceImage)], texel).rg;
    const float hysteresis = v.historyValid != 0u ? v.hysteresis : 0.0;
    imageStore(g_Rg32[nonuniformEXT(v.distanceImage)], texel, vec4(mix(result, previous, hysteresis), 0.0, 0.0));
}
