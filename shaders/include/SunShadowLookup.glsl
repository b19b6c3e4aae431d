// The sun's visibility at a world position from the cascaded moment maps (no receiver offset:
// for points in the air, not on a surface): the finest cascade whose texture box holds the
// position, with a margin for the filter, decides; outside every cascade the sun is unshadowed.
// The including shader declares ShadowDataRef (TAVRIN_BUFFER_REFERENCE(ShadowData)) and includes
// Evsm.glsl first.
#ifndef TAVRIN_SUN_SHADOW_LOOKUP_GLSL
#define TAVRIN_SUN_SHADOW_LOOKUP_GLSL

float SunShadowAt(uint momentMap, ShadowData sd, sampler shadowSampler, vec3 worldPos) {
    const vec3 global = (vec4(worldPos, 1.0) * sd._ShadowMatrix).xyz;
    const float margin = 2.0 / 1048.0;
    for (int i = 0; i < 4; ++i) {
        if (!(sd._CascadeSplits[i] > 0.0)) break;
        const vec3 c = (global + sd._CascadeOffsets[i].xyz) * sd._CascadeScales[i].xyz;
        if (any(lessThan(c.xy, vec2(margin))) || any(greaterThan(c.xy, vec2(1.0 - margin))) || c.z < 0.0 || c.z > 1.0) continue;
        const vec4 moments = textureLod(sampler2DArray(g_Textures2DArray[nonuniformEXT(momentMap)], shadowSampler),
                                        vec3(c.xy, float(i)), 0.0);
        return EvsmVisibility(moments, c.z, vec2(sd._PositiveExponent, sd._NegativeExponent), sd._VSMBias,
                              clamp(sd._LightBleedingReduction, 0.0, 0.99));
    }
    return 1.0;
}

#endif
