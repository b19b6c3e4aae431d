// Exponential variance shadow maps: a light-space depth (0 nearest the sun, 1 farthest) is warped
// by a positive and a negative exponential; the map stores both warps and their squares, and a
// receiver's visibility is the smaller of the two Chebyshev bounds. The positive warp keeps the
// light bleeding of plain variance maps down, the negative one covers what the positive one
// misses where casters and receivers are close.
#ifndef TAVRIN_EVSM_GLSL
#define TAVRIN_EVSM_GLSL

/// Depth in [0, 1] -> (exp(p d'), -exp(-n d')) with d' = 2 depth - 1, so both exponents work on
/// [-1, 1] and the squares stay inside 32-bit floats up to an exponent of 42.
vec2 WarpDepth(float depth, vec2 exponents) {
    const float d = 2.0 * clamp(depth, 0.0, 1.0) - 1.0;
    return vec2(exp(exponents.x * d), -exp(-exponents.y * d));
}

vec4 EvsmMoments(float depth, vec2 exponents) {
    const vec2 w = WarpDepth(depth, exponents);
    return vec4(w.x, w.x * w.x, w.y, w.y * w.y);
}

/// One-sided Chebyshev bound: the share of the filtered casters at or beyond `mean`.
/// `bleedReduction` cuts the faint tail that a distant caster leaves behind a nearer one.
float ChebyshevUpperBound(vec2 moments, float mean, float minVariance, float bleedReduction) {
    const float variance = max(moments.y - moments.x * moments.x, minVariance);
    const float d = mean - moments.x;
    float pMax = variance / (variance + d * d);
    pMax = clamp((pMax - bleedReduction) / max(1.0 - bleedReduction, 1e-4), 0.0, 1.0);
    return mean <= moments.x ? 1.0 : pMax;
}

/// Visibility (1 lit, 0 shadowed) of a receiver at light depth `depth` against filtered moments.
/// `bias` widens the variance in proportion to the warped depth's slope, which keeps a surface
/// from shadowing itself.
float EvsmVisibility(vec4 moments, float depth, vec2 exponents, float bias, float bleedReduction) {
    const vec2 warped = WarpDepth(depth, exponents);
    const vec2 depthScale = bias * 0.01 * exponents * warped;
    const vec2 minVariance = depthScale * depthScale;
    const float positive = ChebyshevUpperBound(moments.xy, warped.x, minVariance.x, bleedReduction);
    const float negative = ChebyshevUpperBound(moments.zw, warped.y, minVariance.y, bleedReduction);
    return min(positive, negative);
}

/// Width in texels of the moment blur along one axis for a cascade with `scale` against cascade
/// 0's `scale0`: at most `filterSize` cascade-0 texels, the same world width in every cascade,
/// clamped to 1..9 texels.
float BlurKernelWidth(float scale, float scale0, float filterSize) {
    const float a0 = max(abs(scale0), 1e-20);
    return clamp(min(9.0 / a0, filterSize) * abs(scale), 1.0, 9.0);
}

/// Weight of the tap `offset` texels from the centre in a box `width` texels wide (the outer
/// taps partly covered).
float BoxTapWeight(int offset, float width) {
    return clamp(width * 0.5 - (abs(float(offset)) - 0.5), 0.0, 1.0);
}

#endif
