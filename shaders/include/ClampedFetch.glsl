// Texel reads from the bindless sampled images with the position clamped to the image, so a
// neighbourhood at the border repeats the edge.
#ifndef TAVRIN_CLAMPED_FETCH_GLSL
#define TAVRIN_CLAMPED_FETCH_GLSL

#include "Bindless.glsl"

vec4 Fetch(uint slot, ivec2 p) {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(slot)], 0);
    return texelFetch(g_Textures2D[nonuniformEXT(slot)], clamp(p, ivec2(0), size - 1), 0);
}

#endif
