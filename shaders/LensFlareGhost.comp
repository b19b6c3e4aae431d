#version 460
// One ghost: cell `index` of the 4 x 4 "Ghost" atlas over its square.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/LensFlareConstants.h"
#include "LensFlareSprite.glsl"

const uint kGhostsPerRow = 4u;

vec2 SpriteUv(vec2 uv) {
    const vec2 cell = vec2(pc.index % kGhostsPerRow, pc.index / kGhostsPerRow);
    // Half a texel of margin keeps the filter inside the cell.
    const vec2 inside = clamp(uv, vec2(0.5 / 512.0), vec2(1.0 - 0.5 / 512.0));
    return (cell + inside) / float(kGhostsPerRow);
}
