#version 460
// Voxelisation, pixel stage: no render target. Each fragment lights its surface point with the
// sun (shadowed by the sun's shadow map while the sun casts shadows) and the voxel ambient term, and folds the result into the voxel it falls in, a running
// mean kept in one 32-bit word per voxel: red, green and blue as 8-bit fractions of
// kVoxelRadianceRange, the count of samples in the top byte.
#include "Bindless.glsl"
#include "SceneBlocks.glsl"
#include "Evsm.glsl"
#include "VoxelPacking.glsl"
#include "shared/ShadowData.h"
#include "shared/VoxelGi.h"
TAVRIN_PUSH_CONSTANTS(VoxelizeDrawConstants, pc)
TAVRIN_BUFFER_REFERENCE(VoxelizationParameters)
TAVRIN_BUFFER_REFERENCE(ShadowData)
TAVRIN_STORAGE_IMAGES(r32ui, uimage3D, g_IntegerVolumes)

layout(set = 1, binding = 0) uniform sampler g_sampler;       // anisotropic, clamp
layout(set = 1, binding = 30) uniform sampler ShadowSampler;  // linear, border

layout(location = 0) in vec3 inWorldPos;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;

const uint kNone = 0xffffffffu;

// The sun's visibility at a voxel's surface point from the cascaded moment maps, as the model
// draw reads them: the finest cascade holding the point decides; outside them all it is lit.
float SunShadow(vec3 worldPos) {
    if (pc.varianceShadowMap == kNone || pc.shadowData == 0ul) return 1.0;
    const ShadowData sd = ShadowDataRef(pc.shadowData).data;
    const vec3 global = (vec4(worldPos, 1.0) * sd._ShadowMatrix).xyz;
    const float margin = 2.0 / 1048.0;
    for (int i = 0; i < 4; ++i) {
        if (!(sd._CascadeSplits[i] > 0.0)) break;
        const vec3 c = (global + sd._CascadeOffsets[i].xyz) * sd._CascadeScales[i].xyz;
        if (any(lessThan(c.xy, vec2(margin))) || any(greaterThan(c.xy, vec2(1.0 - margin))) || c.z < 0.0 || c.z > 1.0) continue;
        const vec4 moments = textureLod(sampler2DArray(g_Textures2DArray[nonuniformEXT(pc.varianceShadowMap)], ShadowSampler),
                                        vec3(c.xy, float(i)), 0.0);
        return EvsmVisibility(moments, c.z, vec2(sd._PositiveExponent, sd._NegativeExponent), sd._VSMBias,
                              clamp(sd._LightBleedingReduction, 0.0, 0.99));
    }
    return 1.0;
}

// Folds `radiance` into the voxel's running mean with compare-and-swap, so fragments of many
// triangles may meet in one voxel. Bounded: under heavy contention a sample may be dropped
// rather than spin.
void AccumulateVoxel(ivec3 texel, vec3 radiance) {
    uint expected = 0u;
    uint desired = PackVoxel(radiance, 1.0);
    for (int attempt = 0; attempt < 64; ++attempt) {
        const uint found = imageAtomicCompSwap(g_IntegerVolumes[nonuniformEXT(pc.integerVolume)], texel, expected, desired);
        if (found == expected) break;
        expected = found;
        const vec4 mean = UnpackVoxel(found);
        if (mean.a >= kVoxelMaxSamples) break;
        const float count = mean.a + 1.0;
        desired = PackVoxel((mean.rgb * mean.a + radiance) / count, count);
    }
}

void main() {
    const VoxelizationParameters p = VoxelizationParametersRef(pc.parameters).data;
    const ivec3 voxel = ivec3(floor((inWorldPos - p._RegionMin) / p._VoxelSize));
    const int res = p._ClipmapResolution;
    // The viewport has a voxel of margin on each side; those fragments belong to no voxel.
    if (any(lessThan(voxel, ivec3(0))) || any(greaterThanEqual(voxel, ivec3(res)))) return;

    const MaterialBuffer m = MaterialBufferRef(pc.material).data;
    vec3 albedo = m.diffuse.rgb;
    float alpha = m.diffuse.a;
    if (m.textureIndex >= 0 && pc.textureInput0 != kNone) {
        const vec4 texel = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.textureInput0)], g_sampler), inTexCoord, 0.0) *
                               m.textureMulFactor + m.textureAddFactor;
        albedo = texel.rgb;
        alpha *= texel.a;
    }
    if (alpha < pc.alphaClip) return;
    albedo *= m.baseColorTint;

    // Both faces of a voxel's surface are lit alike: the voxel has no side.
    const vec3 n = normalize(inNormal);
    const float sunFacing = abs(dot(n, normalize(p._SunDir)));
    const float sunVisibility = p._EnableShadow != 0 ? SunShadow(inWorldPos) : 1.0;
    const vec3 radiance = albedo * (p._SunColor * sunFacing * sunVisibility + vec3(p._Ambient));

    const ivec3 texel = ivec3(voxel.x, voxel.y + p._ClipmapLevel * res, voxel.z);
    AccumulateVoxel(texel, radiance);
}
