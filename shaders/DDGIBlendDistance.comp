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

void main() {
    const VolumeConstants v = VolumeConstantsRef(pc.volume).data;
    const int texels = v.distanceTexels;
    const ivec2 tile = ivec2(gl_WorkGroupID.xy);
    const ivec2 t = ivec2(gl_LocalInvocationID.xy);
    if (t.x >= texels || t.y >= texels || tile.x >= v.probeCountX * v.probeCountY || tile.y >= v.probeCountZ) return;
    const ivec3 grid = ivec3(tile.x % v.probeCountX, tile.x / v.probeCountX, tile.y);
    const int probe = DDGIProbeIndex(v, grid);
    const vec3 n = DDGIOctDecode((vec2(t) + 0.5) / float(texels) * 2.0 - 1.0);
    const float maxDistance = length(v.probeSpacing) * 1.5;

    vec2 sum = vec2(0.0);
    float weightSum = 0.0;
    for (int r = 0; r < v.raysPerProbe; ++r) {
        const float c = max(dot(n, DDGIRayDirection(v, r)), 0.0);
        if (c <= 0.0) continue;
        const float w = pow(c, v.distanceExponent);
        const float d = min(abs(imageLoad(g_Rgba16[nonuniformEXT(v.rayDataImage)], ivec2(r, probe)).a), maxDistance);
        sum += w * vec2(d, d * d);
        weightSum += w;
    }
    const vec2 result = weightSum > 0.0 ? sum / weightSum : vec2(maxDistance, maxDistance * maxDistance);
    const ivec2 texel = tile * (texels + 2) + 1 + t;
    const vec2 previous = imageLoad(g_Rg32[nonuniformEXT(v.distanceImage)], texel).rg;
    const float hysteresis = v.historyValid != 0u ? v.hysteresis : 0.0;
    imageStore(g_Rg32[nonuniformEXT(v.distanceImage)], texel, vec4(mix(result, previous, hysteresis), 0.0, 0.0));
}
