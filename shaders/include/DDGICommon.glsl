// Probe volume helpers shared by the probe shaders, the GI hit shader and the model shader:
// probe addressing, octahedral directions, the ray directions and the irradiance lookup.
//
// Conventions: the irradiance atlas holds the cosine-weighted mean radiance around each probe
// (irradiance / pi), gamma-encoded with irradianceGamma; the distance atlas holds the mean hit
// distance and its square, weighted by cos^distanceExponent. A Lambertian surface of albedo a
// reflects a * (the decoded value).
#ifndef TAVRIN_DDGI_COMMON_GLSL
#define TAVRIN_DDGI_COMMON_GLSL
#include "shared/DDGIConstants.h"

TAVRIN_BUFFER_REFERENCE(VolumeConstants)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_DDGIProbeOffsets)

const float kDDGIPi = 3.14159265;
/// The most rays a probe traces per frame (the blend shaders keep one frame's rays in shared memory).
const int kDDGIMaxRays = 256;

ivec3 DDGICounts(VolumeConstants v) { return ivec3(v.probeCountX, v.probeCountY, v.probeCountZ); }

int DDGIProbeCount(VolumeConstants v) { return v.probeCountX * v.probeCountY * v.probeCountZ; }

ivec3 DDGIProbeGrid(VolumeConstants v, int probe) {
    return ivec3(probe % v.probeCountX, (probe / v.probeCountX) % v.probeCountY, probe / (v.probeCountX * v.probeCountY));
}

int DDGIProbeIndex(VolumeConstants v, ivec3 grid) { return grid.x + v.probeCountX * (grid.y + v.probeCountY * grid.z); }

/// Texel of the probe in the offsets texture, and the top-left interior texel of its atlas tile.
ivec2 DDGIProbeTexel(VolumeConstants v, ivec3 grid) { return ivec2(grid.x + v.probeCountX * grid.y, grid.z); }

vec3 DDGIGridPosition(VolumeConstants v, ivec3 grid) {
    return v.origin + (vec3(grid) - 0.5 * vec3(DDGICounts(v) - 1)) * v.probeSpacing;
}

/// Octahedral mapping of a unit direction to [-1, 1]^2, and back.
vec2 DDGIOctEncode(vec3 n) {
    n /= abs(n.x) + abs(n.y) + abs(n.z);
    vec2 e = n.xy;
    if (n.z < 0.0) e = (1.0 - abs(n.yx)) * vec2(n.x >= 0.0 ? 1.0 : -1.0, n.y >= 0.0 ? 1.0 : -1.0);
    return e;
}

vec3 DDGIOctDecode(vec2 e) {
    vec3 n = vec3(e, 1.0 - abs(e.x) - abs(e.y));
    if (n.z < 0.0) n.xy = (1.0 - abs(n.yx)) * vec2(n.x >= 0.0 ? 1.0 : -1.0, n.y >= 0.0 ? 1.0 : -1.0);
    return normalize(n);
}

/// Ray `ray` of `count`: a spherical Fibonacci point set, turned by this frame's rotation.
vec3 DDGIRayDirection(VolumeConstants v, int ray) {
    const float golden = 1.61803398875;
    const float count = float(v.raysPerProbe);
    const float phi = 2.0 * kDDGIPi * fract(float(ray) / golden);
    const float cosTheta = 1.0 - (2.0 * float(ray) + 1.0) / count;
    const float sinTheta = sqrt(clamp(1.0 - cosTheta * cosTheta, 0.0, 1.0));
    const vec3 d = vec3(cos(phi) * sinTheta, sin(phi) * sinTheta, cosTheta);
    // Rows of the stored rotation act on row vectors.
    return normalize(d * mat3(v.rayRotation));
}

/// Atlas uv of direction `dir` in the tile of probe `grid` (texels per side without border).
vec2 DDGIAtlasUv(VolumeConstants v, ivec3 grid, vec3 dir, int texels, vec2 atlasSize) {
    const ivec2 tile = DDGIProbeTexel(v, grid) * (texels + 2);
    const vec2 oct = DDGIOctEncode(dir) * 0.5 + 0.5;
    return (vec2(tile) + 1.0 + oct * float(texels)) / atlasSize;
}

/// The finest of `count` nested volumes (finest first) whose probe grid holds `position`, else
/// the coarsest.
VolumeConstants DDGISelectVolume(uint64_t records, uint count, vec3 position) {
    for (uint i = 0u; i + 1u < count; ++i) {
        const VolumeConstants v = VolumeConstantsRef(records + uint64_t(i) * 256ul).data;
        const vec3 extent = 0.5 * vec3(DDGICounts(v) - 1) * v.probeSpacing;
        if (all(lessThanEqual(abs(position - v.origin), extent))) return v;
    }
    return VolumeConstantsRef(records + uint64_t(count - 1u) * 256ul).data;
}

/// Irradiance / pi at `position` on a surface with normal `n` seen along `view` (towards the
/// eye), blended from the eight surrounding probes with their visibility.
vec3 DDGIIrradiance(VolumeConstants v, vec3 position, vec3 n, vec3 view, sampler linearSampler) {
    const vec3 biased = position + n * v.normalBias + view * v.viewBias;
    const ivec3 counts = DDGICounts(v);
    const vec3 gridPos = (biased - DDGIGridPosition(v, ivec3(0))) / v.probeSpacing;
    const ivec3 base = clamp(ivec3(floor(gridPos)), ivec3(0), max(counts - 2, ivec3(0)));
    const vec3 alpha = clamp(gridPos - vec3(base), 0.0, 1.0);
    const vec2 irradianceSize = vec2(textureSize(g_Textures2D[nonuniformEXT(v.irradianceTexture)], 0));
    const vec2 distanceSize = vec2(textureSize(g_Textures2D[nonuniformEXT(v.distanceTexture)], 0));
    vec3 sum = vec3(0.0);
    float weightSum = 0.0;
    for (int i = 0; i < 8; ++i) {
        const ivec3 offset = ivec3(i & 1, (i >> 1) & 1, (i >> 2) & 1);
        const ivec3 grid = min(base + offset, counts - 1);
        const vec3 probeOffset = imageLoad(g_DDGIProbeOffsets[nonuniformEXT(v.offsetsImage)], DDGIProbeTexel(v, grid)).xyz;
        const vec3 probePos = DDGIGridPosition(v, grid) + probeOffset;
        const vec3 trilinear = mix(1.0 - alpha, alpha, vec3(offset));
        float weight = trilinear.x * trilinear.y * trilinear.z;
        vec3 toProbe = probePos - biased;
        const float distance = length(toProbe);
        toProbe = distance > 0.0 ? toProbe / distance : n;
        // Probes behind the surface count less (wrapped cosine, never quite zero).
        const float facing = (dot(toProbe, n) + 1.0) * 0.5;
        weight *= facing * facing + 0.2;
        // Chebyshev visibility from the probe's distance moments towards this point.
        const vec2 moments = textureLod(sampler2D(g_Textures2D[nonuniformEXT(v.distanceTexture)], linearSampler),
                                        DDGIAtlasUv(v, grid, -toProbe, v.distanceTexels, distanceSize), 0.0).rg;
        if (distance > moments.x) {
            const float variance = abs(moments.y - moments.x * moments.x);
            const float d = distance - moments.x;
            float chebyshev = variance / (variance + d * d);
            chebyshev = max(chebyshev * chebyshev * chebyshev, 0.0);
            weight *= chebyshev;
        }
        weight = max(weight, 1e-6);
        const vec3 encoded = textureLod(sampler2D(g_Textures2D[nonuniformEXT(v.irradianceTexture)], linearSampler),
                                        DDGIAtlasUv(v, grid, n, v.irradianceTexels, irradianceSize), 0.0).rgb;
        sum += weight * pow(max(encoded, vec3(0.0)), vec3(v.irradianceGamma * 0.5));
        weightSum += weight;
    }
    // Blended in a half-gamma space (perceptually smoother), then decoded the rest of the way.
    const vec3 result = sum / max(weightSum, 1e-6);
    return result * result;
}

#endif
