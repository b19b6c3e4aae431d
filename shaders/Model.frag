#version 460
// Model pixel shader: physically based shading of one material under the sun and the ambient
// light of the render configuration, or the classic look (ClassicShading.glsl) for materials of
// that style; HDR colour to target 0 and screen-space motion to target 1.
// With image-based lighting on (IBL_Enable and a loaded sky), the sky's lighting cube replaces
// the constant ambient: its irradiance mip lights the diffuse term, its radiance mips (roughness
// 0, 0.2 .. 1.0) the ambient specular through the split-sum table; both scaled by the ambient
// intensity and clamped by SkyLightUpperLimit. Traced reflections (SR_Mode 1), where they reached
// this pixel, take the place of the sky's radiance; probe light (GI_Mode 1) that of the ambient
// in the diffuse term. The material model itself is SurfaceShading.glsl's.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "SceneBlocks.glsl"
#include "DDGICommon.glsl"
#include "shared/ModelDraw.h"
#include "shared/ShadowData.h"
#include "Evsm.glsl"
#include "VoxelConeTracing.glsl"

TAVRIN_PUSH_CONSTANTS(ModelDrawConstants, draw)
TAVRIN_BUFFER_REFERENCE(ModelFrameConstants)
TAVRIN_BUFFER_REFERENCE(ShadowData)

layout(set = 1, binding = 0) uniform sampler g_sampler;                      // anisotropic, wrap
layout(set = 1, binding = 1) uniform sampler g_clampSampler;                 // anisotropic, clamp
layout(set = 1, binding = 5) uniform sampler _AmbientCubemapSampler;         // trilinear
layout(set = 1, binding = 30) uniform sampler ShadowSampler;                 // linear, border
layout(set = 1, binding = 60) uniform sampler BilinearSampler;
layout(set = 1, binding = 98) uniform sampler Skin_PreIntegratedBRDFSampler;
layout(set = 1, binding = 99) uniform sampler IBL_PreIntegratedBRDFSampler;
layout(set = 1, binding = 40) uniform sampler VoxelSampler;                  // linear, clamp

layout(location = 0) in vec3 inWorldPos;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;
layout(location = 3) in vec4 inClip;
layout(location = 4) in vec4 inPrevClip;

layout(location = 0) out vec4 outColor;
layout(location = 1) out vec4 outVelocity;

#include "SurfaceShading.glsl"
#include "ClassicShading.glsl"

// Motion in texture coordinates (x right, y down) from the previous frame to this one.
vec4 ScreenVelocity(float alpha) {
    const vec2 ndc = inClip.xy / inClip.w;
    const vec2 prevNdc = inPrevClip.xy / inPrevClip.w;
    return vec4((ndc - prevNdc) * vec2(0.5, -0.5), 0.0, alpha);
}

vec4 SampleSlot(uint slot, vec2 uv) {
    return texture(sampler2D(g_Textures2D[nonuniformEXT(slot)], g_sampler), uv);
}

// Normal from a tangent-space map, with the tangent frame taken from screen derivatives.
vec3 PerturbNormal(vec3 n, vec3 tangentNormal) {
    const vec3 dp1 = dFdx(inWorldPos), dp2 = dFdy(inWorldPos);
    const vec2 duv1 = dFdx(inTexCoord), duv2 = dFdy(inTexCoord);
    const vec3 dp2perp = cross(dp2, n), dp1perp = cross(n, dp1);
    // The frame's handedness follows the screen's y direction (down here): orient it by the
    // surface normal so that tangent and bitangent point along growing u and v.
    const float handedness = dot(cross(dp1, dp2), n) < 0.0 ? -1.0 : 1.0;
    const vec3 t = (dp2perp * duv1.x + dp1perp * duv2.x) * handedness;
    const vec3 b = (dp2perp * duv1.y + dp1perp * duv2.y) * handedness;
    const float invmax = inversesqrt(max(dot(t, t), dot(b, b)));
    if (isinf(invmax) || isnan(invmax)) return n;
    return normalize(mat3(t * invmax, b * invmax, n) * tangentNormal);
}

// The sun's visibility at a world position from the cascaded moment maps: the finest cascade
// whose texture box holds the position (with a margin for the filter) decides; outside every
// cascade the sun is unshadowed. The lookup moves off the surface so that a surface never reads
// its own, coarser, depth in the map (which shades it in stripes and saws its edge where it
// turns away from the sun): a surface facing the sun moves out along its normal `n`, by up to a
// texel and a half of the cascade as the sun grazes it, plus the configured offset; a surface
// facing away moves away from the sun (deeper, without moving across the map), so it stays in
// the shadow its own body casts; the two blend where the surface turns.
float SunShadow(const ModelFrameConstants frame, vec3 worldPos, vec3 n, vec3 l) {
    if (frame.varianceShadowMap == kNone || frame.shadowData == 0ul) return 1.0;
    const ShadowData sd = ShadowDataRef(frame.shadowData).data;
    const vec3 global = (vec4(worldPos, 1.0) * sd._ShadowMatrix).xyz;
    const float margin = 2.0 / 1048.0;
    const float NdotL = dot(n, l);
    const vec3 facing = n * (1.5 * (1.0 - clamp(NdotL, 0.0, 1.0)) + sd._OffsetScale);
    const vec3 away = -l * (1.5 + sd._OffsetScale);
    const vec3 offsetTexels = mix(away, facing, smoothstep(-0.1, 0.1, NdotL));
    for (int i = 0; i < 4; ++i) {
        if (!(sd._CascadeSplits[i] > 0.0)) break;
        const vec3 scale = sd._CascadeScales[i].xyz;
        vec3 c = (global + sd._CascadeOffsets[i].xyz) * scale;
        if (any(lessThan(c.xy, vec2(margin))) || any(greaterThan(c.xy, vec2(1.0 - margin))) || c.z < 0.0 || c.z > 1.0) continue;
        // Global shadow space measures world units, so this is the cascade's texel in the world.
        const float texel = 1.0 / (abs(scale.x) * 1048.0);
        const vec3 moved = (vec4(worldPos + offsetTexels * texel, 1.0) * sd._ShadowMatrix).xyz;
        c = (moved + sd._CascadeOffsets[i].xyz) * scale;
        // Four bilinear taps half a texel apart: a 3 x 3 tent over the (linearly filterable)
        // moments, which softens the texel steps of the coarser cascades.
        const float h = 0.5 / 1048.0;
        vec4 moments = vec4(0.0);
        for (int t = 0; t < 4; ++t) {
            const vec2 at = c.xy + vec2((t & 1) != 0 ? h : -h, (t & 2) != 0 ? h : -h);
            moments += textureLod(sampler2DArray(g_Textures2DArray[nonuniformEXT(frame.varianceShadowMap)], ShadowSampler),
                                  vec3(at, float(i)), 0.0);
        }
        moments *= 0.25;
        return EvsmVisibility(moments, c.z, vec2(sd._PositiveExponent, sd._NegativeExponent), sd._VSMBias,
                              clamp(sd._LightBleedingReduction, 0.0, 0.99));
    }
    return 1.0;
}

void main() {
    const ModelFrameConstants frame = ModelFrameConstantsRef(draw.frame).data;
    const CameraBuffer cam = CameraBufferRef(frame.camera).data;
    const MaterialBuffer m = MaterialBufferRef(draw.material).data;
    const RenderConfig cfg = RenderConfigRef(frame.renderConfig).data;

    if (draw.materialStyle == kMaterialStyleClassic) {
        vec3 n = normalize(inNormal);
        if (!gl_FrontFacing) n = -n;
        // The shadow map, while the sun casts shadows, moves the ramp towards its dark end.
        const bool sunShadows = cfg.SunLightEnable != 0;
        const float sunVisibility = sunShadows ? SunShadow(frame, inWorldPos, n, normalize(cfg.SunDirection)) : 1.0;
        vec4 classic = ShadeClassic(m, draw, cam, cfg, n, normalize(cam.cameraWorldPos.xyz - inWorldPos), inTexCoord,
                                    sunVisibility, sunShadows);
        if (classic.a < draw.alphaClip) discard;
        if (cfg.AO_Mode != 0 && frame.occlusionMap != kNone)
            classic.rgb *= texelFetch(g_Textures2D[nonuniformEXT(frame.occlusionMap)], ivec2(gl_FragCoord.xy), 0).r;
        outColor = classic;
        outVelocity = ScreenVelocity(classic.a);
        return;
    }

    // Base colour: the material colour alone, or the texture (the material's own colours are
    // the author's tint for untextured parts); morph factors scale and offset the texel.
    vec3 albedo = m.diffuse.rgb;
    float alpha = m.diffuse.a;
    if (m.textureIndex >= 0 && draw.texDiffuse != kNone) {
        const vec4 texel = SampleSlot(draw.texDiffuse, inTexCoord) * m.textureMulFactor + m.textureAddFactor;
        albedo = texel.rgb;
        alpha *= texel.a;
    }
    albedo *= m.baseColorTint;
    if (alpha < draw.alphaClip) discard;

    vec3 n = normalize(inNormal);
    if (!gl_FrontFacing) n = -n;
    if (m.normalTextureIndex >= 0 && draw.texNormal != kNone)
        n = PerturbNormal(n, SampleSlot(draw.texNormal, inTexCoord).xyz * 2.0 - 1.0);
    const vec3 v = normalize(cam.cameraWorldPos.xyz - inWorldPos);

    // Sphere map: a view-space normal lookup, multiplied or added.
    if (m.spTextureIndex >= 0 && draw.texSphere != kNone && (m.spTextureMode == 1 || m.spTextureMode == 2)) {
        const vec3 viewNormal = normalize((vec4(n, 0.0) * cam.view).xyz);
        const vec2 sphereUv = vec2(viewNormal.x * 0.5 + 0.5, 0.5 - viewNormal.y * 0.5);
        // Explicit level: a flat surface gives the lookup no screen derivatives, which anisotropic
        // filtering cannot take.
        const vec4 texel = textureLod(sampler2D(g_Textures2D[nonuniformEXT(draw.texSphere)], g_sampler), sphereUv, 0.0);
        const vec3 sphere = (texel * m.spTextureMulFactor + m.spTextureAddFactor).rgb;
        albedo = m.spTextureMode == 1 ? albedo * sphere : albedo + sphere;
    }

    float occlusion = 1.0;
    if (m.occlusionTextureIndex >= 0 && draw.texOcclusion != kNone)
        occlusion = mix(1.0, SampleSlot(draw.texOcclusion, inTexCoord).r, clamp(m.occlusion, 0.0, 1.0));
    // Later inputs: the screen-space or ray-traced occlusion map multiplies the same term.
    // (The traced one is smaller than the render targets: its texel under this pixel.)
    if (cfg.AO_Mode != 0 && frame.occlusionMap != kNone) {
        const ivec2 mapSize = textureSize(g_Textures2D[nonuniformEXT(frame.occlusionMap)], 0);
        const ivec2 texel = min(ivec2(gl_FragCoord.xy * vec2(mapSize) * cam.screenSize.zw), mapSize - 1);
        occlusion *= texelFetch(g_Textures2D[nonuniformEXT(frame.occlusionMap)], texel, 0).r;
    }

    const vec3 l = normalize(cfg.SunDirection);
    const float NdotLRaw = dot(n, l);
    const float roughness = SurfaceRoughness(m);
    // While the sun casts shadows, the shadow map dims both sun terms; so does the surface's own
    // turn away from the sun, which the wrapped diffuse term would light but a body's own shadow
    // covers (the map resolves it only coarsely, in steps along the edge).
    const float sunVisibility =
        cfg.SunLightEnable != 0 ? SunShadow(frame, inWorldPos, n, l) * smoothstep(0.0, 0.2, NdotLRaw) : 1.0;
    SurfaceLight light;
    light.sun = cfg.SunColor * cfg.SunIntensity * kSunScale * sunVisibility;
    light.occlusion = occlusion;
    light.ambient = UniformAmbient(cfg.AmbientColor, cfg.AmbientIntensity, cfg.SkyLightUpperLimit);
    light.ambientSpecular = light.ambient;
    if (cfg.IBL_Enable != 0 && frame.ambientCubemap != kNone) {
        const uint sky = frame.ambientCubemap;
        const float intensity = cfg.AmbientIntensity, limit = cfg.SkyLightUpperLimit;
        light.ambient = SkyLight(sky, _AmbientCubemapSampler, n, kIrradianceMip, intensity, limit);
        light.ambientSpecular =
            SkyLight(sky, _AmbientCubemapSampler, reflect(-v, n), roughness * kRadianceMipPerRoughness, intensity, limit);
    }
    // Traced reflections: the light that arrives along this pixel's reflection lobe, surfaces and
    // sky together (the map is smaller than the render targets: its texel under this pixel).
    if (cfg.SR_Mode == 1 && frame.specularReflectionMap != kNone) {
        const ivec2 mapSize = textureSize(g_Textures2D[nonuniformEXT(frame.specularReflectionMap)], 0);
        const ivec2 texel = min(ivec2(gl_FragCoord.xy * vec2(mapSize) * cam.screenSize.zw), mapSize - 1);
        const vec4 traced = texelFetch(g_Textures2D[nonuniformEXT(frame.specularReflectionMap)], texel, 0);
        // Alpha 0: the trace saw no surface under this texel (an edge); the sky stays.
        if (traced.a > 0.0) light.ambientSpecular = traced.rgb;
    }
    // Probe GI: the light the probes gathered around this point takes the place of the uniform
    // ambient light in the diffuse term (the same scale: an open sky gives the ambient light).
    light.ambientDiffuse = light.ambient;
    if (cfg.GI_Mode == 1 && frame.ddgiVolumes != 0ul && frame.volumeSelect > 0u) {
        const VolumeConstants volume = DDGISelectVolume(frame.ddgiVolumes, frame.volumeSelect, inWorldPos);
        light.ambientDiffuse = DDGIIrradiance(volume, inWorldPos, n, v, BilinearSampler);
    }

    SurfacePoint surface;
    surface.albedo = albedo;
    surface.n = n;
    surface.v = v;
    surface.l = l;
    surface.curvature = clamp(m.curvature, 0.0, 1.0);
    const bool scatters = cfg.SSS_Enable != 0 && (m.shadingModel == kShadingSkin || m.shadingModel == kShadingSubsurface);
    if (scatters && m.curvatureTextureIndex >= 0 && draw.texCurvature != kNone)
        surface.curvature *= SampleSlot(draw.texCurvature, inTexCoord).r;
    vec3 color = ShadeSurface(m, surface, light, scatters, frame.brdfIbl, frame.brdfSkin);

    // Voxel GI: the light the clipmap's cones gather around the surface, on its diffuse colour.
    if (cfg.GI_Enable > 0 && frame.voxelRadiance != kNone && frame.voxelConstants != 0ul)
        color += albedo * (1.0 - clamp(m.metallic, 0.0, 1.0)) * occlusion * max(cfg.GI_Diffuse_Strength, 0.0) *
                 VoxelIndirectDiffuse(frame.voxelRadiance, VoxelSampler, frame.voxelConstants, inWorldPos, n);

    outColor = vec4(color, alpha);
    outVelocity = ScreenVelocity(alpha);
}
