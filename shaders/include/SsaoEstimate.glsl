// The occlusion estimate shared by both variants. Around each texel stands a sphere five texels
// in radius, as deep as it is wide at the texel's distance; every sample position of a disc of
// radius four texels (the twelve symmetric groups of the thickness table) cuts a column through
// it. What share of each column lies behind the depth seen there (inside geometry) is the
// occlusion it reports: half on any plane, more in a crease, less on a ridge. A sample far in
// front of the sphere (a separate object) fades, by the rejection fall-off, into the mirror
// image of its partner across the centre, as if the surface went on as a plane. The weighted
// share, taken from 0.5 (open) to 1 (closed), gives the visibility, sharpened by the
// accentuation. The including shader defines DepthAt(offset).
#ifndef TAVRIN_SSAO_ESTIMATE_GLSL
#define TAVRIN_SSAO_ESTIMATE_GLSL

float DepthAt(ivec2 offset);

float Table(vec4 table[3], int i) { return table[i >> 2][i & 3]; }

// The two columns at +offset and -offset, for table entry i; sums their shares.
float SamplePair(float z0, float invRange, ivec2 offset) {
    const float d1 = DepthAt(offset), d2 = DepthAt(-offset);
    const float share1 = clamp(0.5 + (z0 - d1) * invRange * 0.5, 0.0, 1.0);
    const float share2 = clamp(0.5 + (z0 - d2) * invRange * 0.5, 0.0, 1.0);
    // How far in front of the sphere each sample lies, in sphere depths (0 inside or behind).
    const float front1 = max((z0 - d1) * invRange * 0.5 - 0.5, 0.0);
    const float front2 = max((z0 - d2) * invRange * 0.5 - 0.5, 0.0);
    const float fade1 = clamp(front1 * -pc.rejectFadeoff, 0.0, 1.0);
    const float fade2 = clamp(front2 * -pc.rejectFadeoff, 0.0, 1.0);
    return mix(share1, 1.0 - share2, fade1) + mix(share2, 1.0 - share1, fade2);
}

// The sample offsets of each table entry: one position per group, mirrored and turned below.
const ivec2 kOffsets[12] = ivec2[](ivec2(1, 0), ivec2(2, 0), ivec2(3, 0), ivec2(4, 0), ivec2(1, 1), ivec2(1, 2),
                                    ivec2(1, 3), ivec2(1, 4), ivec2(2, 2), ivec2(2, 3), ivec2(2, 4), ivec2(3, 3));

float Occlusion() {
    const float z0 = DepthAt(ivec2(0));
    float share = 0.0;
    for (int i = 0; i < 12; ++i) {
        const float invRange = Table(pc.invThicknessTable, i) / max(z0, 1e-6);
        const ivec2 o = kOffsets[i];
        // Positions on the axes and diagonals come in two mirrored pairs, the others in four.
        float sum = SamplePair(z0, invRange, o) + SamplePair(z0, invRange, ivec2(-o.y, o.x));
        float pairs = 2.0;
        if (o.y != 0 && o.x != o.y) {
            sum += SamplePair(z0, invRange, o.yx) + SamplePair(z0, invRange, ivec2(-o.x, o.y));
            pairs = 4.0;
        }
        share += Table(pc.sampleWeightTable, i) * sum / (2.0 * pairs);
    }
    const float visibility = clamp(2.0 - 2.0 * share, 0.0, 1.0);
    return pow(visibility, 1.0 / pc.rcpAccentuation);
}

#endif
