// The physically based material model, shared by the model draw and the ray-traced reflections'
// shading of what a reflected ray hits, so a surface looks the same seen directly and in a
// mirror. The caller gathers the surface (albedo, normal, directions) and the light reaching it
// (sun with its shadow, ambient, probe light, light along the reflection); ShadeSurface turns them
// into the colour leaving the surface towards the viewer.
//
// Light scale: the configuration's default sun (intensity 2) and ambient (intensity 1) are
// chosen by users for how a model should look, so the light is scaled to reproduce a model's own
// texture colours at the defaults: a surface facing the sun receives exactly 1.0 in total
// (ambient 0.7, sun 0.3 through a wrapped Lambert term), the far side 0.7.
//
// The includer declares the samplers Skin_PreIntegratedBRDFSampler and
// IBL_PreIntegratedBRDFSampler, and includes Bindless.glsl and SceneBlocks.glsl first.
#ifndef TAVRIN_SURFACE_SHADING_GLSL
#define TAVRIN_SURFACE_SHADING_GLSL

const float kAmbientScale = 0.7;
const float kSunScale = 0.15;  // times intensity 2: 0.3 at full facing
const float kPi = 3.14159265;
const uint kNone = 0xffffffffu;
const uint kShadingSubsurface = 2u;
const uint kShadingSkin = 3u;
const uint kShadingClearCoat = 4u;
const uint kShadingCloth = 8u;
// The lighting cube: radiance for roughness r in mip r * 5, irradiance in mip 6.
const float kRadianceMipPerRoughness = 5.0;
const float kIrradianceMip = 6.0;
// Roughness below this is a mirror to the GGX terms' float precision.
const float kMinRoughness = 0.045;

float D_GGX(float NdotH, float a) {
    const float a2 = a * a;
    const float d = NdotH * NdotH * (a2 - 1.0) + 1.0;
    return a2 / (kPi * d * d);
}

float V_SmithGGX(float NdotV, float NdotL, float a) {
    const float k = a * 0.5;
    return 0.25 / ((NdotV * (1.0 - k) + k) * (NdotL * (1.0 - k) + k));
}

vec3 F_Schlick(vec3 f0, float VdotH) { return f0 + (1.0 - f0) * pow(1.0 - VdotH, 5.0); }

/// The sky's light from lighting cube `cube` along `dir` at mip `lod`, scaled and clamped as the
/// ambient light is.
vec3 SkyLight(uint cube, sampler cubeSampler, vec3 dir, float lod, float intensity, float upperLimit) {
    return min(textureLod(samplerCube(g_TexturesCube[nonuniformEXT(cube)], cubeSampler), dir, lod).rgb * intensity,
               vec3(upperLimit));
}

/// The uniform ambient light of the configuration, as the diffuse and specular terms take it.
vec3 UniformAmbient(vec3 color, float intensity, float upperLimit) {
    return min(color * intensity, vec3(upperLimit)) * kAmbientScale;
}

float SurfaceRoughness(const MaterialBuffer m) { return clamp(m.roughness, kMinRoughness, 1.0); }

struct SurfacePoint {
    vec3 albedo;      // base colour, texture and tint applied
    vec3 n;           // unit normal, facing the viewer's side
    vec3 v;           // unit direction to the viewer
    vec3 l;           // unit direction to the sun
    float curvature;  // 0 .. 1, for the skin table
};

struct SurfaceLight {
    vec3 sun;              // the sun's light here: colour x intensity x kSunScale x visibility
    vec3 ambient;          // the uniform ambient or the sky's irradiance (the cloth sheen's)
    vec3 ambientDiffuse;   // what lights the diffuse term: `ambient`, or the probes' light
    vec3 ambientSpecular;  // what arrives along the reflection: sky radiance or traced light
    float occlusion;       // on both ambient terms
};

/// The colour leaving the surface towards the viewer: diffuse (wrapped Lambert, or the skin
/// table for scattering materials with `scatters`), the sun's GGX specular with the clear coat,
/// the cloth sheen, the ambient specular through the split-sum table and the emission.
vec3 ShadeSurface(const MaterialBuffer m, const SurfacePoint s, const SurfaceLight light, bool scatters, uint brdfIbl,
                  uint brdfSkin) {
    const float metallic = clamp(m.metallic, 0.0, 1.0);
    const float roughness = SurfaceRoughness(m);
    const float a = roughness * roughness;
    const vec3 diffuseColor = s.albedo * (1.0 - metallic);
    const vec3 f0 = mix(0.04 * m.specularTint, s.albedo, metallic);
    const float NdotLRaw = dot(s.n, s.l);
    const float NdotL = clamp(NdotLRaw, 0.0, 1.0);
    const float NdotV = clamp(dot(s.n, s.v), 1e-4, 1.0);

    // Sun, diffuse: wrapped Lambert (normalised to 1 at full facing), or the skin table.
    vec3 sunDiffuse = vec3(0.5 + 0.5 * NdotLRaw);
    if (scatters && brdfSkin != kNone) {
        const vec3 skin = textureLod(sampler2D(g_Textures2D[nonuniformEXT(brdfSkin)], Skin_PreIntegratedBRDFSampler),
                                     vec2(NdotLRaw * 0.5 + 0.5, s.curvature), 0.0).rgb;
        // Columns: N.L from -1 to 1; rows: curvature from 0 to 1.
        sunDiffuse = mix(sunDiffuse, skin, clamp(m.subsurface, 0.0, 1.0) * m.subsurfaceColor);
    }
    vec3 color = diffuseColor * (light.ambientDiffuse * light.occlusion + light.sun * sunDiffuse);

    // Sun, specular: GGX.
    if (NdotL > 0.0) {
        const vec3 h = normalize(s.l + s.v);
        const float NdotH = clamp(dot(s.n, h), 0.0, 1.0);
        const vec3 F = F_Schlick(f0, clamp(dot(s.v, h), 0.0, 1.0));
        color += D_GGX(NdotH, a) * V_SmithGGX(NdotV, NdotL, a) * F * NdotL * light.sun;
        if (m.shadingModel == kShadingClearCoat && m.clearCoat > 0.0) {
            const float ca = max(m.clearCoatRoughness * m.clearCoatRoughness, 0.002);
            color += m.clearCoat * D_GGX(NdotH, ca) * V_SmithGGX(NdotV, NdotL, ca) *
                     F_Schlick(vec3(0.04), clamp(dot(s.v, h), 0.0, 1.0)).x * NdotL * light.sun;
        }
    }
    if (m.shadingModel == kShadingCloth) {
        const float sheen = pow(1.0 - NdotV, 5.0) * clamp(m.cloth, 0.0, 1.0);
        color += sheen * m.clothFuzzColor * (light.sun * NdotL + light.ambient) * 0.25;
    }

    // Ambient specular through the split-sum table.
    if (brdfIbl != kNone) {
        const vec2 ab = textureLod(sampler2D(g_Textures2D[nonuniformEXT(brdfIbl)], IBL_PreIntegratedBRDFSampler),
                                   vec2(NdotV, roughness), 0.0).rg;
        color += light.ambientSpecular * (f0 * ab.x + ab.y) * light.occlusion;
    }
    return color + s.albedo * max(m.emission, 0.0);
}

#endif
