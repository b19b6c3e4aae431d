#pragma once
// Float maths shared by every layer.
//
// Conventions:
//  - Matrices are row-major and act on row vectors: v' = v * M, so A * B applies A first.
//    The translation lives in the fourth row (m[3][0..2]).
//  - Elementary rotations are left-handed (positive angles turn y towards x for RotationZ, and so on):
//      RotationX(a) = [[1,0,0],[0,cos,sin],[0,-sin,cos]]
//      RotationY(a) = [[cos,0,-sin],[0,1,0],[sin,0,cos]]
//      RotationZ(a) = [[cos,sin,0],[-sin,cos,0],[0,0,1]]
//  - Quaternions are stored (x, y, z, w). p * q is the Hamilton product; q acts first.
//    RotationQuaternion(q) builds the row-vector matrix, so RotationQuaternion(p * q) ==
//    RotationQuaternion(q) * RotationQuaternion(p).
#include <cmath>
#include <cstddef>
#include <limits>
#include <type_traits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace Math {

constexpr float kPi = 3.14159265358979323846f;

struct vec2 {
    float x = 0, y = 0;
    constexpr vec2() = default;
    constexpr vec2(float x_, float y_) : x(x_), y(y_) {}
    constexpr float& operator[](int i) { return (&x)[i]; }
    constexpr float operator[](int i) const { return (&x)[i]; }
};

struct vec3 {
    float x = 0, y = 0, z = 0;
    constexpr vec3() = default;
    constexpr vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    constexpr float& operator[](int i) { return (&x)[i]; }
    constexpr float operator[](int i) const { return (&x)[i]; }
};

struct vec4 {
    float x = 0, y = 0, z = 0, w = 0;
    constexpr vec4() = default;
    constexpr vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr vec4(const vec3& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}
    constexpr vec3 xyz() const { return {x, y, z}; }
    constexpr float& operator[](int i) { return (&x)[i]; }
    constexpr float operator[](int i) const { return (&x)[i]; }
};

/// Rotation quaternion (x, y, z, w); identity is (0, 0, 0, 1).
struct quat {
    float x = 0, y = 0, z = 0, w = 1;
    constexpr quat() = default;
    constexpr quat(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    static constexpr quat Identity() { return {0, 0, 0, 1}; }
};

/// 4x4 row-major matrix for row vectors. m[row][column].
struct mat4 {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    constexpr mat4() = default;
    constexpr mat4(float a00, float a01, float a02, float a03, float a10, float a11, float a12, float a13,
                   float a20, float a21, float a22, float a23, float a30, float a31, float a32, float a33)
        : m{{a00, a01, a02, a03}, {a10, a11, a12, a13}, {a20, a21, a22, a23}, {a30, a31, a32, a33}} {}
    static constexpr mat4 Identity() { return mat4(); }
    constexpr float* operator[](int r) { return m[r]; }
    constexpr const float* operator[](int r) const { return m[r]; }
    vec3 Translation() const { return {m[3][0], m[3][1], m[3][2]}; }
    void SetTranslation(const vec3& t) { m[3][0] = t.x; m[3][1] = t.y; m[3][2] = t.z; }
};

// ---- vec2 / vec3 / vec4 arithmetic ----
constexpr vec2 operator+(vec2 a, vec2 b) { return {a.x + b.x, a.y + b.y}; }
constexpr vec2 operator-(vec2 a, vec2 b) { return {a.x - b.x, a.y - b.y}; }
constexpr vec2 operator*(vec2 a, float s) { return {a.x * s, a.y * s}; }
constexpr vec2 operator*(float s, vec2 a) { return a * s; }
constexpr bool operator==(vec2 a, vec2 b) { return a.x == b.x && a.y == b.y; }

constexpr vec3 operator+(vec3 a, vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr vec3 operator-(vec3 a, vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr vec3 operator-(vec3 a) { return {-a.x, -a.y, -a.z}; }
constexpr vec3 operator*(vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
constexpr vec3 operator*(float s, vec3 a) { return a * s; }
constexpr vec3 operator*(vec3 a, vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
constexpr vec3 operator/(vec3 a, float s) { return {a.x / s, a.y / s, a.z / s}; }
constexpr vec3& operator+=(vec3& a, vec3 b) { a = a + b; return a; }
constexpr vec3& operator-=(vec3& a, vec3 b) { a = a - b; return a; }
constexpr vec3& operator*=(vec3& a, float s) { a = a * s; return a; }
constexpr bool operator==(vec3 a, vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

constexpr vec4 operator+(vec4 a, vec4 b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
constexpr vec4 operator-(vec4 a, vec4 b) { return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w}; }
constexpr vec4 operator*(vec4 a, float s) { return {a.x * s, a.y * s, a.z * s, a.w * s}; }
constexpr vec4 operator*(vec4 a, vec4 b) { return {a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w}; }
constexpr bool operator==(vec4 a, vec4 b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }

constexpr float Dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr float Dot(vec4 a, vec4 b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
constexpr vec3 Cross(vec3 a, vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(vec3 a) { return std::sqrt(Dot(a, a)); }
constexpr vec3 Lerp(vec3 a, vec3 b, float t) { return a + (b - a) * t; }
constexpr vec3 Min(vec3 a, vec3 b) { return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z}; }
constexpr vec3 Max(vec3 a, vec3 b) { return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z}; }

/// 3-component normalisation: a zero vector stays zero; an infinite squared length gives NaN in
/// every component (there is no direction to keep).
inline vec3 Normalize(vec3 v) {
    const float lengthSq = Dot(v, v);
    if (std::isinf(lengthSq)) {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        return {nan, nan, nan};
    }
    const float length = std::sqrt(lengthSq);
    if (length == 0.0f) return {0, 0, 0};
    return v / length;
}

// ---- quaternions ----
#if defined(__SSE__)
/// The Hamilton product p * q on (x, y, z, w) lanes: p.w * q, then p.x, p.y and p.z times q's
/// components reordered and signed per lane, added in the order of the scalar form of
/// operator* (negating a product is exact), so both forms give the same bits.
inline __m128 QuatProduct(__m128 p, __m128 q) {
    const __m128 xTerms = _mm_mul_ps(_mm_shuffle_ps(p, p, _MM_SHUFFLE(0, 0, 0, 0)),
                                     _mm_xor_ps(_mm_shuffle_ps(q, q, _MM_SHUFFLE(0, 1, 2, 3)),
                                                _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f)));
    const __m128 yTerms = _mm_mul_ps(_mm_shuffle_ps(p, p, _MM_SHUFFLE(1, 1, 1, 1)),
                                     _mm_xor_ps(_mm_shuffle_ps(q, q, _MM_SHUFFLE(1, 0, 3, 2)),
                                                _mm_setr_ps(0.0f, 0.0f, -0.0f, -0.0f)));
    const __m128 zTerms = _mm_mul_ps(_mm_shuffle_ps(p, p, _MM_SHUFFLE(2, 2, 2, 2)),
                                     _mm_xor_ps(_mm_shuffle_ps(q, q, _MM_SHUFFLE(2, 3, 0, 1)),
                                                _mm_setr_ps(-0.0f, 0.0f, 0.0f, -0.0f)));
    const __m128 wTerms = _mm_mul_ps(_mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 3, 3)), q);
    return _mm_add_ps(_mm_add_ps(_mm_add_ps(wTerms, xTerms), yTerms), zTerms);
}
#endif
/// Hamilton product: rotating by (p * q) rotates by q first, then by p.
constexpr quat operator*(quat p, quat q) {
#if defined(__SSE__)
    if (!std::is_constant_evaluated()) {
        alignas(16) float out[4];
        _mm_store_ps(out, QuatProduct(_mm_setr_ps(p.x, p.y, p.z, p.w), _mm_setr_ps(q.x, q.y, q.z, q.w)));
        return {out[0], out[1], out[2], out[3]};
    }
#endif
    return {p.w * q.x + p.x * q.w + p.y * q.z - p.z * q.y, p.w * q.y - p.x * q.z + p.y * q.w + p.z * q.x,
            p.w * q.z + p.x * q.y - p.y * q.x + p.z * q.w, p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z};
}
constexpr bool operator==(quat a, quat b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }
constexpr float Dot(quat a, quat b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
constexpr quat Conjugate(quat q) { return {-q.x, -q.y, -q.z, q.w}; }
/// Unit quaternion; a zero quaternion stays zero.
inline quat Normalize(quat q) {
    const float length = std::sqrt(Dot(q, q));
    if (length == 0.0f) return {0, 0, 0, 0};
    const float inv = 1.0f / length;
    return {q.x * inv, q.y * inv, q.z * inv, q.w * inv};
}
/// Inverse rotation (conjugate divided by the squared length).
inline quat Inverse(quat q) {
    const float lengthSq = Dot(q, q);
    if (lengthSq == 0.0f) return {0, 0, 0, 0};
    const quat c = Conjugate(q);
    return {c.x / lengthSq, c.y / lengthSq, c.z / lengthSq, c.w / lengthSq};
}
/// Rotation of `angle` radians about `axis` (need not be unit length; a zero axis gives identity).
inline quat QuaternionRotationAxis(vec3 axis, float angle) {
    const vec3 n = Normalize(axis);
    if (n == vec3(0, 0, 0)) return quat::Identity();
    const float s = std::sin(angle * 0.5f);
    return {n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f)};
}
/// The rotation RotationZ(roll) * RotationX(pitch) * RotationY(yaw): roll about z first, then pitch
/// about x, then yaw about y.
quat QuaternionRollPitchYaw(float pitch, float yaw, float roll);
// ---- spherical interpolation ----
// sin(t·θ) / sin(θ) as a series in y = cos(θ) - 1:
//     t · (1 + y·c1·(1 + y·c2·(1 + y·c3·(...)))),   c_i = (t² - i²) / (i·(2i + 1)),
// which for integer t ends by itself (the Chebyshev polynomials of the second kind) and otherwise
// converges for every θ short of π, slowly near it. After the shortest-path sign flip θ <= π/2, and
// SlerpOnArc halves the arc as well, so |y| <= 1 - cos(π/4) ≈ 0.29; there six terms, the last one
// scaled by kTailScale, are within 1e-8 of the exact value for every t in [0, 1] (kTailScale was
// fitted in double precision to minimise that worst error).
namespace SlerpSeries {
typedef float Lanes __attribute__((vector_size(16)));
constexpr int kTerms = 6;
constexpr double kTailScale = 1.1502;
struct Factors {
    float scale[kTerms + 1];   // 1 / (i·(2i + 1)), the tail scaled
    float offset[kTerms + 1];  // i² times the same
};
constexpr Factors MakeFactors() {
    Factors f{};
    for (int i = 1; i <= kTerms; ++i) {
        double k = 1.0 / (i * (2.0 * i + 1.0));
        if (i == kTerms) k *= kTailScale;
        f.scale[i] = static_cast<float>(k);
        f.offset[i] = static_cast<float>(k * i * i);
    }
    return f;
}
inline constexpr Factors kFactors = MakeFactors();
inline Lanes Splat(float v) { return Lanes{v, v, v, v}; }
}  // namespace SlerpSeries

/// The part of a slerp that depends on its two ends only: SlerpOnArc of one arc at many t.
struct SlerpArc {
    quat q0;
    quat e;           // the far end, negated when that makes the path the shorter one
    float invLength;  // 1 / |q0 + e|
    float y;          // cos(θ/2) - 1
};

__attribute__((always_inline)) inline SlerpArc MakeSlerpArc(const quat& q0, const quat& q1) {
    using namespace SlerpSeries;
    float x = Dot(q0, q1);
    // A select rather than a branch, here and for the half arc below: which way they go varies
    // from call to call.
    const float sign = (Splat(x) < Splat(0.0f) ? Splat(-1.0f) : Splat(1.0f))[0];
    x *= sign;
    // Halve the arc: m = (q0 + e) / |q0 + e| lies midway, at cos(θ/2) = |q0 + e| / 2 from both.
    // y = cos(θ/2) - 1 loses bits to cancellation near 1, but the series barely depends on y there.
    const float length = __builtin_sqrtf(2.0f + 2.0f * x);
    return {q0, {q1.x * sign, q1.y * sign, q1.z * sign, q1.w * sign}, 1.0f / length, 0.5f * length - 1.0f};
}

/// Slerp for t in [0, 1] on a prepared arc, without trigonometry, to float precision (see above).
/// Forced inline so that loops over many vertices keep it in their own vector code.
__attribute__((always_inline)) inline quat SlerpOnArc(const SlerpArc& arc, float t) {
    using namespace SlerpSeries;
    const Lanes y = Splat(arc.y);
    // Interpolate on the half arc that holds t: q0 -> m for t <= 1/2, m -> e above. Lanes 0 and 1
    // carry the start and end coefficients.
    const bool low = t <= 0.5f;
    const float u = 2.0f * t - (Splat(t) <= Splat(0.5f) ? Splat(0.0f) : Splat(1.0f))[0];
    const Lanes lanes{1.0f - u, u, 0.0f, 0.0f};
    const Lanes lanesSq = lanes * lanes;
    Lanes d[kTerms + 1];
#pragma GCC unroll 8
    for (int i = 1; i <= kTerms; ++i) d[i] = (lanesSq * Splat(kFactors.scale[i]) - Splat(kFactors.offset[i])) * y;
    // 1 + d1 + d1·d2 + ... + d1·…·d6 with a short dependency chain.
    static_assert(kTerms == 6);
    const Lanes p2 = d[1] * d[2];
    const Lanes p3 = p2 * d[3];
    const Lanes p4 = p2 * (d[3] * d[4]);
    const Lanes p5 = p4 * d[5];
    const Lanes p6 = p4 * (d[5] * d[6]);
    const Lanes sum = ((Splat(1.0f) + d[1]) + (p2 + p3)) + ((p4 + p5) + p6);
    const Lanes coeff = lanes * sum;
    const float a = coeff[0];
    const float b = coeff[1];
    const float invLength = arc.invLength;
    // Written as plain choices, so that builds with fused multiply-add contract them as before.
    const float c0 = low ? a + b * invLength : a * invLength;
    const float c1 = low ? b * invLength : a * invLength + b;
    const quat& q0 = arc.q0;
    const quat& e = arc.e;
    return {q0.x * c0 + e.x * c1, q0.y * c0 + e.y * c1, q0.z * c0 + e.z * c1, q0.w * c0 + e.w * c1};
}

/// Slerp for t in [0, 1] without trigonometry, to float precision (see above).
__attribute__((always_inline)) inline quat SlerpOnArc(const quat& q0, const quat& q1, float t) {
    return SlerpOnArc(MakeSlerpArc(q0, q1), t);
}

/// Spherical interpolation along the shortest path (q1 is negated when the dot product is negative).
/// t outside 0..1 extrapolates along the same great circle.
inline quat Slerp(const quat& q0, const quat& to, float t) {
    if (t >= 0.0f && t <= 1.0f) return SlerpOnArc(q0, to, t);
    quat q1 = to;
    float cosTheta = Dot(q0, q1);
    if (cosTheta < 0.0f) {
        q1 = {-q1.x, -q1.y, -q1.z, -q1.w};
        cosTheta = -cosTheta;
    }
    float s0, s1;
    if (cosTheta > 1.0f - 1e-6f) {
        // Nearly parallel: sin(theta) vanishes, the arc is a straight line.
        s0 = 1.0f - t;
        s1 = t;
        const quat r{q0.x * s0 + q1.x * s1, q0.y * s0 + q1.y * s1, q0.z * s0 + q1.z * s1, q0.w * s0 + q1.w * s1};
        return Normalize(r);
    }
    const float theta = std::acos(cosTheta);
    const float sinTheta = std::sin(theta);
    s0 = std::sin((1.0f - t) * theta) / sinTheta;
    s1 = std::sin(t * theta) / sinTheta;
    return {q0.x * s0 + q1.x * s1, q0.y * s0 + q1.y * s1, q0.z * s0 + q1.z * s1, q0.w * s0 + q1.w * s1};
}
/// Rotates a vector by a quaternion.
inline vec3 Rotate(vec3 v, quat q) {
    // v' = q v q*, expanded: v + 2w(u x v) + 2u x (u x v)
    const vec3 u{q.x, q.y, q.z};
    const vec3 t = Cross(u, v) * 2.0f;
    return v + t * q.w + Cross(u, t);
}

// ---- matrices ----
inline mat4 operator*(const mat4& a, const mat4& b) {
    mat4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
        }
    }
    return r;
}
/// True when the last column is (0, 0, 0, 1): the matrix is an affine transform of row vectors.
inline bool IsAffine(const mat4& a) {
    return a.m[0][3] == 0.0f && a.m[1][3] == 0.0f && a.m[2][3] == 0.0f && a.m[3][3] == 1.0f;
}
/// a * b for an affine `a` (IsAffine): the same product without the terms a's last column zeroes.
/// Each row of the result is a sum of b's rows; the SSE form adds them in the same order, so both
/// forms give the same bits.
inline mat4 MultiplyAffine(const mat4& a, const mat4& b) {
    mat4 r;
#if defined(__SSE__)
    const __m128 b0 = _mm_loadu_ps(b.m[0]);
    const __m128 b1 = _mm_loadu_ps(b.m[1]);
    const __m128 b2 = _mm_loadu_ps(b.m[2]);
    const auto row = [&](int i) {
        return _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(a.m[i][0]), b0), _mm_mul_ps(_mm_set1_ps(a.m[i][1]), b1)),
                          _mm_mul_ps(_mm_set1_ps(a.m[i][2]), b2));
    };
    _mm_storeu_ps(r.m[0], row(0));
    _mm_storeu_ps(r.m[1], row(1));
    _mm_storeu_ps(r.m[2], row(2));
    _mm_storeu_ps(r.m[3], _mm_add_ps(row(3), _mm_loadu_ps(b.m[3])));
#else
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    }
    for (int j = 0; j < 4; ++j) r.m[3][j] = a.m[3][0] * b.m[0][j] + a.m[3][1] * b.m[1][j] + a.m[3][2] * b.m[2][j] + b.m[3][j];
#endif
    return r;
}
bool operator==(const mat4& a, const mat4& b);
mat4 Transpose(const mat4& a);
/// General 4x4 inverse; a singular matrix yields the zero matrix.
mat4 Inverse(const mat4& a);
mat4 Translation(vec3 t);
mat4 Scaling(vec3 s);
mat4 RotationX(float angle);
mat4 RotationY(float angle);
mat4 RotationZ(float angle);
/// Row-vector rotation matrix of a unit quaternion.
inline mat4 RotationQuaternion(quat q) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    return {1 - 2 * (yy + zz), 2 * (xy + wz),     2 * (xz - wy),     0,
            2 * (xy - wz),     1 - 2 * (xx + zz), 2 * (yz + wx),     0,
            2 * (xz + wy),     2 * (yz - wx),     1 - 2 * (xx + yy), 0,
            0,                 0,                 0,                 1};
}
/// Rotation of a matrix's upper 3x3 (assumed orthonormal) as a unit quaternion with w >= 0 when
/// the trace is positive; near-180-degree rotations use the largest diagonal term.
inline quat QuaternionFromMatrix(const mat4& a) {
    const auto& m = a.m;
    const float trace = m[0][0] + m[1][1] + m[2][2];
    quat q;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q.w = 0.25f * s;
        q.x = (m[1][2] - m[2][1]) / s;
        q.y = (m[2][0] - m[0][2]) / s;
        q.z = (m[0][1] - m[1][0]) / s;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const float s = std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]) * 2.0f;
        q.w = (m[1][2] - m[2][1]) / s;
        q.x = 0.25f * s;
        q.y = (m[0][1] + m[1][0]) / s;
        q.z = (m[2][0] + m[0][2]) / s;
    } else if (m[1][1] > m[2][2]) {
        const float s = std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]) * 2.0f;
        q.w = (m[2][0] - m[0][2]) / s;
        q.x = (m[0][1] + m[1][0]) / s;
        q.y = 0.25f * s;
        q.z = (m[1][2] + m[2][1]) / s;
    } else {
        const float s = std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]) * 2.0f;
        q.w = (m[0][1] - m[1][0]) / s;
        q.x = (m[2][0] + m[0][2]) / s;
        q.y = (m[1][2] + m[2][1]) / s;
        q.z = 0.25f * s;
    }
    return Normalize(q);
}
/// Splits an affine matrix into scale, rotation and translation (M = S * R * T). Returns false
/// when a scale is zero (the rotation is then identity).
bool Decompose(const mat4& m, vec3& scale, quat& rotation, vec3& translation);
/// Right-handed perspective with depth 0..1: m22 = far/(near-far), m32 = near*far/(near-far), m23 = -1.
mat4 PerspectiveFovRH(float fovY, float aspect, float nearZ, float farZ);
/// Right-handed look-at: the camera looks along (focus - eye); its z axis is -(focus - eye).
mat4 LookAtRH(vec3 eye, vec3 focus, vec3 up);
/// Right-handed look-to: the camera looks along `direction`.
mat4 LookToRH(vec3 eye, vec3 direction, vec3 up);

/// v * M with w = 1, divided by the resulting w.
vec3 TransformCoord(vec3 v, const mat4& m);
/// v * M with w = 1, no divide (affine transforms).
inline vec3 TransformPoint(vec3 v, const mat4& a) {
    const auto& m = a.m;
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0] + m[3][0],
            v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1] + m[3][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2] + m[3][2]};
}
/// v * M with w = 0 (upper 3x3 only).
inline vec3 TransformNormal(vec3 v, const mat4& a) {
    const auto& m = a.m;
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0],
            v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
}
vec4 Transform(vec4 v, const mat4& m);

/// Converts a matrix between model space (z negated) and file space: S * M * S with
/// S = Scaling(1, 1, -1). Its own inverse.
mat4 MirrorZ(const mat4& m);

}  // namespace Math
