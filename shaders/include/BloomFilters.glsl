// The filters of the bloom chain, all built from bilinear taps through the linear clamp sampler
// (set 1, binding 0) of a sampled level.
#ifndef TAVRIN_BLOOM_FILTERS_GLSL
#define TAVRIN_BLOOM_FILTERS_GLSL

#include "Bindless.glsl"
layout(set = 1, binding = 0) uniform sampler LinearClamp;

vec3 Tap(uint slot, vec2 uv) { return textureLod(sampler2D(g_Textures2D[nonuniformEXT(slot)], LinearClamp), uv, 0.0).rgb; }

// Four taps half a texel from the centre: with `texel` half an output texel, they spread over
// the 2 x 2 source texels under each output texel of a halving step.
vec3 Box4(uint slot, vec2 uv, vec2 texel) {
    return 0.25 * (Tap(slot, uv + texel * vec2(-0.5, -0.5)) + Tap(slot, uv + texel * vec2(0.5, -0.5)) +
                   Tap(slot, uv + texel * vec2(-0.5, 0.5)) + Tap(slot, uv + texel * vec2(0.5, 0.5)));
}

// A 3 x 3 tent (weights 1 2 1 by 1 2 1) of taps `texel` apart.
vec3 Tent(uint slot, vec2 uv, vec2 texel) {
    vec3 sum = vec3(0.0);
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) sum += Tap(slot, uv + texel * vec2(x, y)) * ((2 - abs(x)) * (2 - abs(y)));
    return sum / 16.0;
}

// The part of `c` above the threshold, scaled by its brightest channel so the hue stays.
vec4 BrightPart(vec3 c, float threshold) {
    const float luma = max(max(c.r, c.g), c.b);
    return vec4(c * (max(luma - threshold, 0.0) / max(luma, 1e-4)), 1.0);
}

#endif
