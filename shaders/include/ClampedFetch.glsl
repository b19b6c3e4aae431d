// Texel reads from the bindless sampled images with the position clamped to the image, so a
// neighbourhood at the border repeats the edge. The including shader enables
// GL_EXT_nonuniform_qualifier and GL_EXT_samplerless_texture_functions first.
#ifndef TAVRIN_CLAMPED_FETCH_GLSL
#define TAVRIN_CLAMPED_FETCH_GLSL

layout(set = 0, binding = 0) uniform texture2D g_Textures2D[];

vec4 Fetch(uint slot, ivec2 p) {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(slot)], 0);
    return texelFetch(g_Textures2D[nonuniformEXT(slot)], clamp(p, ivec2(0), size - 1), 0);
}

#endif
