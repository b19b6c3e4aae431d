#version 460
// Volumetric light, the ray march at half size: from the camera through each texel up to the
// surface seen there (or the sky's distance), at most the longest ray, in a fixed number of
// steps started at a per-pixel offset (the blur smooths the pattern). At each step the medium's
// density (the drifting noise volume, thinned with height by the height fog) scatters sunlight
// towards the camera with the Henyey-Greenstein phase and dims what lies behind it (extinction);
// steps in the sun's shadow receive no light. RGB is the light gathered, alpha what remains of
// the surface behind.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/ShadowData.h"
#include "shared/VolumetricConstants.h"
#include "Evsm.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(VolumetricRayMarchConstants, pc)
TAVRIN_BUFFER_REFERENCE(VolumetricLightingParams)
TAVRIN_BUFFER_REFERENCE(ShadowData)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];
layout(set = 1, binding = 0) uniform sampler LinearWrap;
layout(set = 1, binding = 30) uniform sampler ShadowSampler;  // linear, border

#include "SunShadowLookup.glsl"

const uint kNone = 0xffffffffu;

float Density(VolumetricLightingParams p, vec3 position) {
    float density = 1.0;
    if (p._UseNoise != 0) {
        const vec3 at = position * p._NoiseData.x + vec3(p._NoiseVelocity.x, 0.0, p._NoiseVelocity.y) * p._Time;
        const float noise = textureLod(sampler3D(g_Textures3D[nonuniformEXT(pc.noise)], LinearWrap), at, 0.0).r;
        // The offset is a threshold: thinner noise than it leaves clear air.
        density = clamp((noise - p._NoiseData.z) * p._NoiseData.y, 0.0, 1.0);
    }
    if (p._ApplyHeightFog != 0) density *= exp(-max(position.y - p._HeightFog.x, 0.0) * max(p._HeightFog.y, 0.0));
    return density;
}

// Sunlight reaching `position`: 1, or 0 in the sun's shadow when shadows are on and bound.
float SunVisibility(VolumetricLightingParams p, vec3 position);

void main() {
    const VolumetricLightingParams p = VolumetricLightingParamsRef(pc.params).data;
    const ivec2 texel = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    if (any(greaterThanEqual(texel, size))) return;
    const ivec2 depthSize = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    const float depth = texelFetch(g_Textures2D[nonuniformEXT(pc.depth)], min(texel * 2, depthSize - 1), 0).r;
    const vec2 uv = (vec2(texel) + 0.5) / vec2(size);
    const vec2 ndc = vec2(uv.x * 2.0 - 1.0, 1.0 - uv.y * 2.0);
    const bool sky = depth >= 1.0;
    const vec4 h = vec4(ndc, sky ? 0.5 : depth, 1.0) * p._InvWorldViewProj;
    const vec3 target = h.xyz / h.w;
    const vec3 toTarget = target - p._WorldSpaceCameraPos;
    const vec3 direction = normalize(toTarget);
    const float surface = sky ? p._VolumetricLight.z : length(toTarget);
    const float rayLength = min(surface, max(p._MaxRayLength, 0.0));

    const int steps = clamp(p._SampleCount, 1, 256);
    const float stepLength = rayLength / float(steps);
    // Interleaved gradient noise: a different start within the first step for each pixel.
    const float offset = fract(52.9829189 * fract(dot(vec2(texel), vec2(0.06711056, 0.00583715))));
    const float scattering = p._VolumetricLight.x, extinction = p._VolumetricLight.y;
    const float cosTheta = dot(direction, -p._LightDir);
    const float phase = p._MieG.x * p._MieG.w / pow(max(p._MieG.y - p._MieG.z * cosTheta, 1e-4), 1.5);

    vec3 light = vec3(0.0);
    float opticalDepth = 0.0;
    for (int i = 0; i < steps; ++i) {
        const vec3 position = p._WorldSpaceCameraPos + direction * ((float(i) + offset) * stepLength);
        const float density = Density(p, position);
        const float transmittance = exp(-opticalDepth);
        light += SunVisibility(p, position) * density * scattering * transmittance * stepLength;
        opticalDepth += density * extinction * stepLength;
    }
    float remaining = exp(-opticalDepth);
    // The sky is dimmed by only part of the medium in front of it.
    if (sky) remaining = mix(remaining, 1.0, p._VolumetricLight.w);
    imageStore(g_Images[nonuniformEXT(pc.dest)], texel, vec4(light * phase * p._LightColor.rgb, remaining));
}

float SunVisibility(VolumetricLightingParams p, vec3 position) {
    if (p._UseShadow == 0 || pc.shadowMap == kNone || pc.shadowData == 0ul) return 1.0;
    return SunShadowAt(pc.shadowMap, ShadowDataRef(pc.shadowData).data, ShadowSampler, position);
}
