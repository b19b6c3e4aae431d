#version 460
// Shades a probe ray's hit: the material's colour (its diffuse texture at the hit) lit by the
// sun (with a shadow ray), by the probes themselves at the hit (the bounce of the last frames)
// and by its own emission. A surface hit from behind (against its interpolated normal) reflects
// nothing and reports a negative distance, which relocation reads as "inside geometry".
#extension GL_EXT_ray_tracing : require
#define TAVRIN_BINDLESS_SCENES
#include "Bindless.glsl"
#include "SceneBlocks.glsl"
#include "DDGICommon.glsl"
#include "shared/DDGIConstants.h"

TAVRIN_PUSH_CONSTANTS(GITraceConstants, pc)
TAVRIN_BUFFER_REFERENCE(GIOptions)
#include "GIPayload.glsl"

#include "GeometryHit.glsl"

layout(set = 1, binding = 0) uniform sampler BilinearSampler;
layout(location = GI_PAYLOAD_LOCATION) rayPayloadInEXT GIPayload payload;
layout(location = GI_SHADOW_PAYLOAD_LOCATION) rayPayloadEXT bool shadowVisible;
hitAttributeEXT vec2 barycentrics;

void main() {
    const GeometryVertex hit = GeometryHitVertex(barycentrics);
    const vec3 position = gl_WorldRayOriginEXT + gl_WorldRayDirectionEXT * gl_HitTEXT;
    const vec3 n = normalize(hit.normal);
    const vec2 uv = hit.uv;

    if (dot(n, gl_WorldRayDirectionEXT) > 0.0) {
        payload.radiance = vec3(0.0);
        payload.distance = -gl_HitTEXT;
        return;
    }

    const MaterialBuffer m = MaterialBufferRef(record.material).data;
    vec3 albedo = m.diffuse.rgb;
    if (m.textureIndex >= 0 && record.diffuseTexture != 0xffffffffu)
        albedo = (textureLod(sampler2D(g_Textures2D[nonuniformEXT(record.diffuseTexture)], BilinearSampler), uv, 0.0) *
                      m.textureMulFactor + m.textureAddFactor).rgb;
    albedo = max(albedo * m.baseColorTint, vec3(0.0));

    const GIOptions o = GIOptionsRef(pc.options).data;
    vec3 light = vec3(0.0);
    if (o.SunLightEnable != 0) {
        const vec3 l = normalize(o.SunDirection);
        const float NdotL = dot(n, l);
        if (NdotL > 0.0) {
            shadowVisible = false;
            traceRayEXT(g_Scenes[nonuniformEXT(pc.scene)],
                        gl_RayFlagsOpaqueEXT | gl_RayFlagsTerminateOnFirstHitEXT | gl_RayFlagsSkipClosestHitShaderEXT, 0xff, 0, 1,
                        GI_SHADOW_MISS_INDEX, position + n * 1e-3, 0.0, l, 1e5, GI_SHADOW_PAYLOAD_LOCATION);
            // The model shader's sun scale, so probe light and direct light agree.
            if (shadowVisible) light += o.SunColor * o.SunIntensity * 0.15 * NdotL;
        }
    }
    // Light that reached this point over earlier bounces, from the volume being updated.
    const VolumeConstants v = VolumeConstantsRef(pc.volumes + uint64_t(pc.volumeIndex) * 256ul).data;
    if (v.historyValid != 0u) light += DDGIIrradiance(v, position, n, -gl_WorldRayDirectionEXT, BilinearSampler);

    payload.radiance = albedo * light + albedo * max(m.emission, 0.0);
    payload.distance = gl_HitTEXT;
}
