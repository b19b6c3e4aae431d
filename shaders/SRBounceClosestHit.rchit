#version 460
// A reflection ray's hit, shaded with the model draw's material model (SurfaceShading.glsl): the
// material's colour with its diffuse texture, occlusion and curvature maps at the hit; the sun,
// its shadow found by a ray towards it while the sun casts shadows; the uniform ambient light or
// the sky's irradiance; the probes' light while GI_Mode is 1; the sky along the surface's own
// mirror direction; the lookup tables and the emission. (No normal map: the hit has no tangent
// frame. No sphere map: it is a view-space effect of the camera's image.)
#extension GL_EXT_ray_tracing : require
#define TAVRIN_BINDLESS_SCENES
#include "Bindless.glsl"
#include "SceneBlocks.glsl"
#include "DDGICommon.glsl"
#include "shared/ReflectionConstants.h"
#include "SRPayload.glsl"
TAVRIN_PUSH_CONSTANTS(ReflectionTraceConstants, pc)
TAVRIN_BUFFER_REFERENCE(ReflectionOptions)
#include "GeometryHit.glsl"

layout(set = 1, binding = 0) uniform sampler LinearClampSampler;
layout(set = 1, binding = 60) uniform sampler BilinearSampler;
layout(set = 1, binding = 98) uniform sampler Skin_PreIntegratedBRDFSampler;
layout(set = 1, binding = 99) uniform sampler IBL_PreIntegratedBRDFSampler;
#include "SurfaceShading.glsl"

layout(location = SR_BOUNCE_PAYLOAD_LOCATION) rayPayloadInEXT SRBouncePayload bounce;
layout(location = SR_SHADOW_PAYLOAD_LOCATION) rayPayloadEXT SRBouncePayload shadow;
hitAttributeEXT vec2 barycentrics;

// The brightest light a reflection ray brings back, so that one ray finding a sun highlight does
// not leave a lone bright pixel among its neighbours (a rough lobe's few rays would otherwise
// sparkle).
const float kMaxRadiance = 16.0;

vec4 SampleMap(uint slot, vec2 uv) { return textureLod(sampler2D(g_Textures2D[nonuniformEXT(slot)], BilinearSampler), uv, 0.0); }

float SunVisibility(vec3 position, vec3 n, vec3 l) {
    shadow.hitT = 1.0;
    traceRayEXT(g_Scenes[nonuniformEXT(pc.scene)],
                gl_RayFlagsOpaqueEXT | gl_RayFlagsTerminateOnFirstHitEXT | gl_RayFlagsSkipClosestHitShaderEXT, 0xff,
                SR_BOUNCE_HIT_GROUP, SR_HIT_GROUP_STRIDE, SR_BOUNCE_MISS, position + n * max(1e-3, 1e-4 * gl_HitTEXT), 0.0, l, 1e5,
                SR_SHADOW_PAYLOAD_LOCATION);
    return shadow.hitT < 0.0 ? 1.0 : 0.0;
}

void main() {
    const GeometryVertex hit = GeometryHitVertex(barycentrics);
    MaterialBuffer m = MaterialBufferRef(record.material).data;
    // A rough lobe blurs what it sees: the surface it hit is shaded at least as rough as the
    // lobe, which spreads the highlights its few rays would find or miss by chance.
    m.roughness = max(m.roughness, bounce.lobeRoughness);
    const ReflectionOptions o = ReflectionOptionsRef(pc.options).data;
    const vec3 position = gl_WorldRayOriginEXT + gl_WorldRayDirectionEXT * gl_HitTEXT;
    const vec3 v = -gl_WorldRayDirectionEXT;
    vec3 n = normalize(hit.normal);
    // Both sides of a surface are drawn, each lit as the side facing the viewer.
    if (dot(n, v) < 0.0) n = -n;

    SurfacePoint surface;
    surface.albedo = m.diffuse.rgb;
    if (m.textureIndex >= 0 && record.diffuseTexture != kNone)
        surface.albedo = (SampleMap(record.diffuseTexture, hit.uv) * m.textureMulFactor + m.textureAddFactor).rgb;
    surface.albedo *= m.baseColorTint;
    surface.n = n;
    surface.v = v;
    surface.l = normalize(o.SunDirection);
    surface.curvature = clamp(m.curvature, 0.0, 1.0);
    const bool scatters = o.SSS_Enable != 0 && (m.shadingModel == kShadingSkin || m.shadingModel == kShadingSubsurface);
    if (scatters && m.curvatureTextureIndex >= 0 && record.curvatureTexture != kNone)
        surface.curvature *= SampleMap(record.curvatureTexture, hit.uv).r;

    SurfaceLight light;
    light.occlusion = 1.0;
    if (m.occlusionTextureIndex >= 0 && record.occlusionTexture != kNone)
        light.occlusion = mix(1.0, SampleMap(record.occlusionTexture, hit.uv).r, clamp(m.occlusion, 0.0, 1.0));
    const float NdotL = dot(n, surface.l);
    float sunVisibility = 1.0;
    if (o.SunLightEnable != 0) sunVisibility = NdotL > 0.0 ? SunVisibility(position, n, surface.l) * smoothstep(0.0, 0.2, NdotL) : 0.0;
    light.sun = o.SunColor * o.SunIntensity * kSunScale * sunVisibility;
    light.ambient = UniformAmbient(o.AmbientColor, o.AmbientIntensity, o.SkyLightUpperLimit);
    light.ambientSpecular = light.ambient;
    if (o.EnableSky != 0 && pc.environment != kNone) {
        light.ambient = SkyLight(pc.environment, LinearClampSampler, n, kIrradianceMip, o.AmbientIntensity, o.SkyLightUpperLimit);
        light.ambientSpecular = SkyLight(pc.environment, LinearClampSampler, reflect(-v, n),
                                         SurfaceRoughness(m) * kRadianceMipPerRoughness, o.AmbientIntensity, o.SkyLightUpperLimit);
    }
    light.ambientDiffuse = light.ambient;
    if (o.GI_Mode == 1 && pc.ddgiVolumes != 0ul && pc.ddgiVolumeCount > 0u) {
        const VolumeConstants volume = DDGISelectVolume(pc.ddgiVolumes, pc.ddgiVolumeCount, position);
        light.ambientDiffuse = DDGIIrradiance(volume, position, n, v, BilinearSampler);
    }

    const vec3 color = ShadeSurface(m, surface, light, scatters, pc.brdfIbl, pc.brdfSkin);
    bounce.radiance = clamp(color, vec3(0.0), vec3(kMaxRadiance));
    if (any(isnan(color))) bounce.radiance = vec3(0.0);
    bounce.hitT = gl_HitTEXT;
}
