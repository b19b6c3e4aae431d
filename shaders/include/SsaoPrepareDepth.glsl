// The depth preparation's write of one texel of the finer level it produces: the level itself,
// its 16-slice de-interleaved copy (slice (x mod 4) + 4 (y mod 4), at (x / 4, y / 4)), and, for
// texels at even positions, the same for the next level, half as large. Texels are point
// samples (the top-left of the 2 x 2 they stand for), so the de-interleaved slices hold depths
// of real surfaces, never blends across an edge.
#ifndef TAVRIN_SSAO_PREPARE_DEPTH_GLSL
#define TAVRIN_SSAO_PREPARE_DEPTH_GLSL

layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, r32f) uniform writeonly image2D g_Levels[];
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, r16f) uniform writeonly image2DArray g_Atlases[];

void WriteLevel(uint level, uint atlas, ivec2 st, float z) {
    if (any(greaterThanEqual(st, imageSize(g_Levels[nonuniformEXT(level)])))) return;
    imageStore(g_Levels[nonuniformEXT(level)], st, vec4(z));
    const ivec3 at = ivec3(st >> 2, (st.x & 3) + 4 * (st.y & 3));
    if (all(lessThan(at.xy, imageSize(g_Atlases[nonuniformEXT(atlas)]).xy)))
        imageStore(g_Atlases[nonuniformEXT(atlas)], at, vec4(z));
}

void WriteLevels(ivec2 st, float z) {
    WriteLevel(pc.downSized1, pc.atlas1, st, z);
    if ((st.x & 1) == 0 && (st.y & 1) == 0) WriteLevel(pc.downSized2, pc.atlas2, st >> 1, z);
}

#endif
