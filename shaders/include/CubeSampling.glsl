// Sample directions for the lighting cube's accumulation. Step k of the accumulation adds the
// directions k * n .. k * n + n - 1 of one Halton sequence (bases 2 and 3), so every prefix of
// the steps covers the hemisphere evenly and the running mean converges from the first step on.
#ifndef TAVRIN_CUBE_SAMPLING_GLSL
#define TAVRIN_CUBE_SAMPLING_GLSL
#include "SkyMapping.glsl"

float RadicalInverse2(uint i) { return float(bitfieldReverse(i)) * 2.3283064365386963e-10; }

float RadicalInverse3(uint i) {
    float result = 0.0, scale = 1.0 / 3.0;
    while (i > 0u) {
        result += float(i % 3u) * scale;
        i /= 3u;
        scale /= 3.0;
    }
    return result;
}

/// Point i of the sequence (starting at 1: point 0 is the corner (0, 0)).
vec2 HaltonPoint(uint i) { return vec2(RadicalInverse2(i + 1u), RadicalInverse3(i + 1u)); }

/// An orthonormal frame whose third axis is `n`.
mat3 FrameAround(vec3 n) {
    const vec3 helper = abs(n.y) < 0.999 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    const vec3 t = normalize(cross(helper, n));
    return mat3(t, cross(n, t), n);
}

/// Mip of a cube with `faceSize`-texel faces whose texels cover about the solid angle one of
/// `count` samples of density `pdf` stands for (the filtered-importance-sampling rule).
float SampleLod(float pdf, float count, float faceSize) {
    const float sampleAngle = 1.0 / (count * max(pdf, 1e-6));
    const float texelAngle = 4.0 * kSkyPi / (6.0 * faceSize * faceSize);
    return max(0.5 * log2(sampleAngle / texelAngle) + 1.0, 0.0);
}

#endif
