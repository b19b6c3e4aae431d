#version 460
// One group per probe, one thread per interior texel of its irradiance tile: the cosine-weighted
// mean of this frame's ray radiance around the texel's direction, gamma-encoded and blended into
// the atlas with the volume's hysteresis (lowered for large changes, which are also damped).
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "DDGICommon.glsl"
#include "shared/DDGIConstants.h"

layout(local_size_x = 6, local_size_y = 6) in;
TAVRIN_PUSH_CONSTANTS(DDGIUpdateConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Rgba16)

// This frame's rays of the probe, loaded once for the whole tile.
shared vec3 s_direction[kDDGIMaxRays];
shared vec3 s_radiance[kDDGIMaxRays];

void main() {
    const VolumeConstants v = VolumeConstantsRef(pc.volume).data;
    const int texels = v.irradianceTexels;
    const ivec2 tile = ivec2(gl_WorkGroupID.xy);
    const ivec2 t = ivec2(gl_LocalInvocationID.xy);
    if (tile.x >= v.probeCountX * v.probeCountY || tile.y >= v.probeCountZ) return;  // the whole group
    const ivec3 grid = ivec3(tile.x % v.probeCountX, tile.x / v.probeCountX, tile.y);
    const int probe = DDGIProbeIndex(v, grid);
    const int rays = min(v.raysPerProbe, kDDGIMaxRays);
    for (int r = int(gl_LocalInvocationIndex); r < rays; r += int(gl_WorkGroupSize.x * gl_WorkGroupSize.y)) {
        s_direction[r] = DDGIRayDirection(v, r);
        s_radiance[r] = imageLoad(g_Rgba16[nonuniformEXT(v.rayDataImage)], ivec2(r, probe)).rgb;
    }
    barrier();
    if (t.x >= texels || t.y >= texels) return;
    const vec3 n = DDGIOctDecode((vec2(t) + 0.5) / float(texels) * 2.0 - 1.0);

    vec3 sum = vec3(0.0);
    float weightSum = 0.0;
    for (int r = 0; r < rays; ++r) {
        const float w = max(dot(n, s_direction[r]), 0.0);
        sum += w * s_radiance[r];
        weightSum += w;
    }
    vec3 result = weightSum > 0.0 ? sum / weightSum : vec3(0.0);
    result = pow(max(result, vec3(0.0)), vec3(v.irradianceGammaInverse));

    const ivec2 texel = tile * (texels + 2) + 1 + t;
    const vec3 previous = imageLoad(g_Rgba16[nonuniformEXT(v.irradianceImage)], texel).rgb;
    float hysteresis = v.historyValid != 0u ? v.hysteresis : 0.0;
    const vec3 change = abs(result - previous);
    if (max(change.x, max(change.y, change.z)) > v.changeThreshold) hysteresis = max(0.0, hysteresis - 0.75);
    const vec3 delta = result - previous;
    if (v.historyValid != 0u && length(delta) > v.brightnessThreshold) result = previous + delta * 0.25;
    imageStore(g_Rgba16[nonuniformEXT(v.irradianceImage)], texel, vec4(mix(result, previous, hysteresis), 1.0));
}
