#include "model/skin/VertexSkinning.h"

#include <cmath>

#include "model/PMXModel.h"

namespace Vesma {
namespace {

// Four floats in one SIMD register (GCC/Clang vector extension; plain SSE on x86-64).
typedef float f4 __attribute__((vector_size(16)));

inline f4 Load4(const float* p) {
    f4 v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
inline void Store4(float* p, f4 v) { __builtin_memcpy(p, &v, sizeof v); }
inline f4 Splat(float s) { return f4{s, s, s, s}; }

// The skinning loop is built twice on x86-64, for AVX2 with FMA and for the baseline, and the
// loader picks the one the processor runs.
#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define VESMA_SKIN_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#endif
#endif
#ifndef VESMA_SKIN_CLONES
#define VESMA_SKIN_CLONES
#endif

struct Rows {
    f4 r0, r1, r2, r3;
};

inline Rows LoadRows(const BlendMatrix& m) {
    return {Load4(m.rows[0]), Load4(m.rows[1]), Load4(m.rows[2]), Load4(m.rows[3])};
}

inline Rows Scaled(const BlendMatrix& m, float weight) {
    const f4 w = Splat(weight);
    return {Load4(m.rows[0]) * w, Load4(m.rows[1]) * w, Load4(m.rows[2]) * w, Load4(m.rows[3]) * w};
}

inline void AddScaled(Rows& a, const BlendMatrix& m, float weight) {
    const f4 w = Splat(weight);
    a.r0 += Load4(m.rows[0]) * w;
    a.r1 += Load4(m.rows[1]) * w;
    a.r2 += Load4(m.rows[2]) * w;
    a.r3 += Load4(m.rows[3]) * w;
}

inline f4 Point(f4 p, const Rows& m) { return Splat(p[0]) * m.r0 + Splat(p[1]) * m.r1 + Splat(p[2]) * m.r2 + m.r3; }
inline f4 Direction(f4 d, const Rows& m) { return Splat(d[0]) * m.r0 + Splat(d[1]) * m.r1 + Splat(d[2]) * m.r2; }

/// Unit vector from the first three lanes, or the vector as it is when it has no (finite) length.
inline f4 SafeNormalize(f4 v) {
    const float lengthSq = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    const float inv = lengthSq > 0.0f && lengthSq <= 3.4e38f ? 1.0f / __builtin_sqrtf(lengthSq) : 1.0f;
    return v * Splat(inv);
}

/// Row-vector rotation matrix of a unit quaternion (translation row zero).
inline Rows RotationRows(const Math::quat& q) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    return {f4{1 - 2 * (yy + zz), 2 * (xy + wz), 2 * (xz - wy), 0},
            f4{2 * (xy - wz), 1 - 2 * (xx + zz), 2 * (yz + wx), 0},
            f4{2 * (xz + wy), 2 * (yz - wx), 1 - 2 * (xx + yy), 0}, f4{0, 0, 0, 0}};
}

/// The QDEF blend of a vertex's bones times the placement; the placement alone when no bone of
/// the vertex can be used.
Rows QdefMatrix(const SkinRecord& record, const SkinFrame& frame, uint32_t nodeCount) {
    const SkinDualQuat* first = nullptr;
    Math::quat real(0, 0, 0, 0), dual(0, 0, 0, 0);
    for (int k = 0; k < 4; ++k) {
        const uint32_t index = record.bones[k];
        if (index >= nodeCount || !frame.dualQuats[index].valid) continue;
        const SkinDualQuat& dq = frame.dualQuats[index];
        float w = record.weights[k];
        if (!first) {
            first = &dq;
        } else if (Math::Dot(dq.real, first->real) < 0.0f) {
            w = -w;
        }
        real = {real.x + dq.real.x * w, real.y + dq.real.y * w, real.z + dq.real.z * w, real.w + dq.real.w * w};
        dual = {dual.x + dq.dual.x * w, dual.y + dq.dual.y * w, dual.z + dq.dual.z * w, dual.w + dq.dual.w * w};
    }
    const BlendMatrix& placement = frame.matrices[nodeCount];
    const float length = std::sqrt(Math::Dot(real, real));
    if (!first || !(length > 0.0f) || !std::isfinite(length)) return LoadRows(placement);
    const float inv = 1.0f / length;
    real = {real.x * inv, real.y * inv, real.z * inv, real.w * inv};
    dual = {dual.x * inv, dual.y * inv, dual.z * inv, dual.w * inv};
    const Math::quat t = dual * Math::Conjugate(real);
    Rows blended = RotationRows(real);
    blended.r3 = f4{2.0f * t.x, 2.0f * t.y, 2.0f * t.z, 1.0f};
    // blended * placement, affine rows only.
    const Rows w = LoadRows(placement);
    return {Direction(blended.r0, w), Direction(blended.r1, w), Direction(blended.r2, w), Point(blended.r3, w)};
}

}  // namespace

VESMA_SKIN_CLONES void SkinVertices(const SkinLayout& layout, const SkinFrame& frame, ModelVertex* out,
                                    std::size_t begin, std::size_t end) {
    static const float kZero[4] = {0, 0, 0, 0};
    const BlendMatrix* matrices = frame.matrices;
    const RestRecord* rest = layout.rest.data();
    const SkinRecord* records = layout.records.data();
    const SkinKind* kinds = layout.kinds.data();
    const SdefRecord* sdef = layout.sdef.data();
    const uint8_t* flags = frame.morphFlags;

    for (std::size_t v = begin; v < end; ++v) {
        const RestRecord& r = rest[v];
        const SkinRecord& record = records[v];
        const uint8_t flag = flags[v];
        // Offsets only where this frame's morphs wrote one (a select, not a branch).
        const float* dp = flag & kMorphPositionFlag ? &frame.morphPositions[v].x : kZero;
        const float* duv = flag & kMorphUVFlag ? &frame.morphUVs[v].x : kZero;
        const f4 position = Load4(r.position) + f4{dp[0], dp[1], dp[2], 0.0f};
        const f4 normal = Load4(r.normal);

        f4 skinnedPosition, skinnedNormal;
        const SkinKind kind = kinds[v];
        if (kind <= SkinKind::Blend4) {
            Rows m = Scaled(matrices[record.bones[0]], record.weights[0]);
            if (kind != SkinKind::Blend1) {
                AddScaled(m, matrices[record.bones[1]], record.weights[1]);
                if (kind == SkinKind::Blend4) {
                    AddScaled(m, matrices[record.bones[2]], record.weights[2]);
                    AddScaled(m, matrices[record.bones[3]], record.weights[3]);
                }
            }
            skinnedPosition = Point(position, m);
            skinnedNormal = SafeNormalize(Direction(normal, m));
        } else if (kind == SkinKind::Sdef) {
            // The rotation slerped between the two bones (placement included) turns the vertex
            // about C; C itself follows the blend of P0 and P1 carried by their bones.
            const SdefRecord& s = sdef[record.bones[2]];
            const uint32_t i0 = record.bones[0];
            const uint32_t i1 = record.bones[1];
            const float t = record.weights[1];
            const Math::quat q = __builtin_expect(t >= 0.0f && t <= 1.0f, 1)
                                     ? Math::SlerpOnArc(frame.rotations[i0], frame.rotations[i1], t)
                                     : Math::Slerp(frame.rotations[i0], frame.rotations[i1], t);
            const Rows rotation = RotationRows(q);
            const f4 p0 = Point(Load4(s.p0), LoadRows(matrices[i0]));
            const f4 p1 = Point(Load4(s.p1), LoadRows(matrices[i1]));
            skinnedPosition = Direction(position - Load4(s.c), rotation) + p0 * Splat(record.weights[0]) +
                              p1 * Splat(record.weights[1]);
            skinnedNormal = SafeNormalize(Direction(normal, rotation));
        } else {
            const Rows m = QdefMatrix(record, frame, layout.nodeCount);
            skinnedPosition = Point(position, m);
            skinnedNormal = SafeNormalize(Direction(normal, m));
        }

        // ModelVertex is position, previous position, normal, UV (11 floats): overlapping 16-byte
        // stores, each one's fourth lane overwritten by the next.
        float* o = &out[v].position.x;
        const f4 previous = Load4(o);
        Store4(o, skinnedPosition);
        Store4(o + 3, previous);
        Store4(o + 6, skinnedNormal);
        o[9] = r.uv[0] + duv[0];
        o[10] = r.uv[1] + duv[1];
    }
}

}  // namespace Vesma
