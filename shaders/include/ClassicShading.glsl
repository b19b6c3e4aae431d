// The classic look of a PMX material, as its author set it up: the material's diffuse and ambient
// colours, its texture, its sphere map in its mode, the toon ramp looked up by how far the surface
// turns from the sun, and a Phong highlight from the specular colour and power. Material morphs
// reach every texture through its multiply and add factors.
//
// Light: the diffuse colour takes the sun (its colour x intensity, 1 at the default sun of
// intensity 2) at the 0.6 the format's authoring tools light with; the ambient colour takes the
// ambient light as it stands. The sum is clamped, so a lit surface shows its texture colour and
// the toon ramp alone darkens the far side. `sunVisibility` (1 lit, 0 in the sun's shadow) moves
// the ramp towards its dark end, so self-shadow takes the ramp's own shadow tone (a material without
// a ramp takes a neutral 0.7 there).
//
// Needs, declared before it is included: the bindless textures (Bindless.glsl), the scene blocks
// (SceneBlocks.glsl), ModelDrawConstants, and the samplers g_sampler (wrap) and g_clampSampler.
#ifndef TAVRIN_CLASSIC_SHADING_GLSL
#define TAVRIN_CLASSIC_SHADING_GLSL

const uint kMaterialStylePhysicallyBased = 0u;
const uint kMaterialStyleClassic = 1u;
const float kClassicSunScale = 0.5;    // the default sun (intensity 2) is 1
const float kClassicDiffuseLight = 0.6;
const float kClassicShadowTone = 0.7;  // a material without a ramp, in the sun's shadow

vec4 ClassicSample(uint slot, vec2 uv) {
    return texture(sampler2D(g_Textures2D[nonuniformEXT(slot)], g_sampler), uv);
}

// The ramp's row for a surface turned `NdotL` to the sun: the top row faces it, the bottom row
// faces away. Clamped, at level 0: a ramp is read as a table.
vec4 ClassicToon(uint slot, float v) {
    return textureLod(sampler2D(g_Textures2D[nonuniformEXT(slot)], g_clampSampler), vec2(0.5, clamp(v, 0.0, 1.0)), 0.0);
}

/// Colour and alpha of `m` at a surface with unit normal `n` (facing the viewer), unit direction
/// to the viewer `v`, texture coordinate `uv`; `sunShadows` while the sun casts shadows.
vec4 ShadeClassic(MaterialBuffer m, ModelDrawConstants draw, CameraBuffer cam, RenderConfig cfg, vec3 n, vec3 v,
                  vec2 uv, float sunVisibility, bool sunShadows) {
    const vec3 sunLight = cfg.SunColor * cfg.SunIntensity * kClassicSunScale;
    const vec3 ambientLight = min(cfg.AmbientColor * cfg.AmbientIntensity, vec3(cfg.SkyLightUpperLimit));
    vec3 color = clamp(m.diffuse.rgb * sunLight * kClassicDiffuseLight + m.ambient * ambientLight, 0.0, 1.0);
    float alpha = m.diffuse.a;

    if (m.textureIndex >= 0 && draw.texDiffuse != 0xffffffffu) {
        const vec4 texel = ClassicSample(draw.texDiffuse, uv) * m.textureMulFactor + m.textureAddFactor;
        color *= texel.rgb;
        alpha *= texel.a;
    }

    // Sphere map: a view-space normal lookup, multiplied (1) or added (2); a sub-texture (3) is
    // read at the vertex's own texture coordinate (the vertex carries no second one) and
    // multiplied.
    if (m.spTextureIndex >= 0 && draw.texSphere != 0xffffffffu && m.spTextureMode >= 1 && m.spTextureMode <= 3) {
        vec2 sphereUv = uv;
        if (m.spTextureMode != 3) {
            const vec3 viewNormal = normalize((vec4(n, 0.0) * cam.view).xyz);
            sphereUv = vec2(viewNormal.x * 0.5 + 0.5, 0.5 - viewNormal.y * 0.5);
        }
        // Explicit level: a flat surface gives the lookup no screen derivatives.
        const vec4 texel = textureLod(sampler2D(g_Textures2D[nonuniformEXT(draw.texSphere)], g_sampler), sphereUv, 0.0);
        const vec3 sphere = (texel * m.spTextureMulFactor + m.spTextureAddFactor).rgb;
        color = m.spTextureMode == 2 ? color + sphere : color * sphere;
    }

    const vec3 l = normalize(cfg.SunDirection);
    const float NdotL = dot(n, l);
    if (m.toonTextureIndex >= 0 && draw.texToon != 0xffffffffu) {
        const vec4 turned = ClassicToon(draw.texToon, 0.5 - 0.5 * NdotL);
        const vec4 shadowed = ClassicToon(draw.texToon, 1.0);
        const vec4 toon = mix(shadowed, turned, clamp(sunVisibility, 0.0, 1.0));
        color *= (toon * m.toonTextureMulFactor + m.toonTextureAddFactor).rgb;
    } else if (sunShadows) {
        // No ramp: the surface is flat-lit until the sun casts shadows; then its shadow, and the
        // side turned from the sun (within a narrow band, which also hides the shadow map's
        // noise at grazing angles), take a neutral tone a ramp's shadow would have.
        const float lit = min(clamp(sunVisibility, 0.0, 1.0), clamp(NdotL * 3.0, 0.0, 1.0));
        color *= mix(kClassicShadowTone, 1.0, lit);
    }

    if (m.specularPower > 0.0 && NdotL > 0.0) {
        const vec3 h = normalize(l + v);
        const float highlight = pow(max(dot(n, h), 0.0), m.specularPower);
        color += m.specular * sunLight * kClassicDiffuseLight * highlight * clamp(sunVisibility, 0.0, 1.0);
    }
    return vec4(color, alpha);
}

#endif
