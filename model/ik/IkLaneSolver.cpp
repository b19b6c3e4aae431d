#include "model/ik/IkLaneSolver.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "model/ik/IkChainPose.h"
#include "model/ik/IkStep.h"
#include "model/ik/MMDIkSolver.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif
// Eight lanes fit one AVX register. The AVX kernel is compiled for AVX on its own (the rest of the
// program keeps the baseline instruction set) and runs only where the processor has it.
#if defined(__SSE__) && (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define TAVRIN_IK_LANES_AVX 1
#include <immintrin.h>
#endif

namespace Vesma {

#if defined(__SSE__)

// The sets of lanes the kernel is compiled for. Each gives its vector of floats (one per lane)
// with the single-precision operations the scalar code compiles to, so every lane rounds exactly
// as the scalar code does, and the way between it and groups of four lanes (__m128).
namespace IkLanes {

struct MaskTable {
    alignas(16) int32_t lanes[16][4];
    constexpr MaskTable() : lanes{} {
        for (int b = 0; b < 16; ++b) {
            for (int l = 0; l < 4; ++l) lanes[b][l] = (b >> l) & 1 ? -1 : 0;
        }
    }
};
constexpr MaskTable kMasks;

inline __m128 GroupMask(int bits) { return _mm_load_ps(reinterpret_cast<const float*>(kMasks.lanes[bits & 15])); }

// G groups of four SSE lanes. The groups are independent, so their operations overlap in the
// processor.
template <int G>
struct Sse {
    static constexpr int kGroups = G;
    struct VF {
        __m128 v[G];
        friend VF operator+(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_add_ps(x, y); }); }
        friend VF operator-(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_sub_ps(x, y); }); }
        friend VF operator*(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_mul_ps(x, y); }); }
        friend VF operator/(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_div_ps(x, y); }); }
    };
    template <class Op>
    static VF Each(VF a, VF b, Op op) {
        VF r;
        for (int g = 0; g < G; ++g) r.v[g] = op(a.v[g], b.v[g]);
        return r;
    }
    static VF Splat(float f) {
        VF r;
        for (int g = 0; g < G; ++g) r.v[g] = _mm_set1_ps(f);
        return r;
    }
    static VF Sqrt(VF a) {
        VF r;
        for (int g = 0; g < G; ++g) r.v[g] = _mm_sqrt_ps(a.v[g]);
        return r;
    }
    static VF Equal(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_cmpeq_ps(x, y); }); }
    static VF Greater(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_cmpgt_ps(x, y); }); }
    static VF LessOrEqual(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_cmple_ps(x, y); }); }
    static VF And(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_and_ps(x, y); }); }
    static VF AndNot(VF a, VF b) { return Each(a, b, [](__m128 x, __m128 y) { return _mm_andnot_ps(y, x); }); }
    static VF Select(VF mask, VF a, VF b) {
        VF r;
        for (int g = 0; g < G; ++g) r.v[g] = _mm_or_ps(_mm_and_ps(mask.v[g], a.v[g]), _mm_andnot_ps(mask.v[g], b.v[g]));
        return r;
    }
    static int Bits(VF mask) {
        int bits = 0;
        for (int g = 0; g < G; ++g) bits |= _mm_movemask_ps(mask.v[g]) << (4 * g);
        return bits;
    }
    static VF MaskOf(int bits) {
        VF r;
        for (int g = 0; g < G; ++g) r.v[g] = GroupMask(bits >> (4 * g));
        return r;
    }
    static void Store(float* f, VF a) {
        for (int g = 0; g < G; ++g) _mm_storeu_ps(f + 4 * g, a.v[g]);
    }
    static VF Load(const float* f) {
        VF r;
        for (int g = 0; g < G; ++g) r.v[g] = _mm_loadu_ps(f + 4 * g);
        return r;
    }
    static __m128 Group(VF a, int g) { return a.v[g]; }
    static VF Combine(const __m128 (&groups)[G]) {
        VF r;
        for (int g = 0; g < G; ++g) r.v[g] = groups[g];
        return r;
    }
};

}  // namespace IkLanes

namespace {
using Math::mat4;
using Math::quat;
using Math::vec3;
}  // namespace

// The arithmetic of the lanes and the solve itself.
#define IK_LANE_KERNEL_HEAD template <class LaneSet> class IkLaneSolver::Kernel
#include "model/ik/IkLaneKernel.inl"
#undef IK_LANE_KERNEL_HEAD

#if TAVRIN_IK_LANES_AVX
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx")
#endif

namespace IkLanes {

// Eight lanes in one AVX register.
struct Avx {
    static constexpr int kGroups = 2;
    // Aligned explicitly: outside AVX code __m256 has only 16-byte alignment, and containers
    // allocated there must still give the AVX code's aligned loads and stores 32.
    struct alignas(32) VF {
        __m256 v;
        // Members rather than friends: GCC doesn't carry a target pragma over to friends defined
        // in a class.
        VF operator+(VF b) const { return {_mm256_add_ps(v, b.v)}; }
        VF operator-(VF b) const { return {_mm256_sub_ps(v, b.v)}; }
        VF operator*(VF b) const { return {_mm256_mul_ps(v, b.v)}; }
        VF operator/(VF b) const { return {_mm256_div_ps(v, b.v)}; }
    };
    static VF Splat(float f) { return {_mm256_set1_ps(f)}; }
    static VF Sqrt(VF a) { return {_mm256_sqrt_ps(a.v)}; }
    static VF Equal(VF a, VF b) { return {_mm256_cmp_ps(a.v, b.v, _CMP_EQ_OQ)}; }
    static VF Greater(VF a, VF b) { return {_mm256_cmp_ps(a.v, b.v, _CMP_GT_OS)}; }
    static VF LessOrEqual(VF a, VF b) { return {_mm256_cmp_ps(a.v, b.v, _CMP_LE_OS)}; }
    static VF And(VF a, VF b) { return {_mm256_and_ps(a.v, b.v)}; }
    static VF AndNot(VF a, VF b) { return {_mm256_andnot_ps(b.v, a.v)}; }
    static VF Select(VF mask, VF a, VF b) { return {_mm256_blendv_ps(b.v, a.v, mask.v)}; }
    static int Bits(VF mask) { return _mm256_movemask_ps(mask.v); }
    static VF MaskOf(int bits) { return {_mm256_set_m128(GroupMask(bits >> 4), GroupMask(bits))}; }
    static void Store(float* f, VF a) { _mm256_storeu_ps(f, a.v); }
    static VF Load(const float* f) { return {_mm256_loadu_ps(f)}; }
    static __m128 Group(VF a, int g) { return g == 0 ? _mm256_castps256_ps128(a.v) : _mm256_extractf128_ps(a.v, 1); }
    static VF Combine(const __m128 (&groups)[2]) { return {_mm256_set_m128(groups[1], groups[0])}; }
};

}  // namespace IkLanes

#define IK_LANE_KERNEL_HEAD template <class LaneSet> class IkLaneSolver::AvxKernel
#include "model/ik/IkLaneKernel.inl"
#undef IK_LANE_KERNEL_HEAD

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif  // TAVRIN_IK_LANES_AVX

struct IkLaneSolver::Lanes {
    Kernel<IkLanes::Sse<1>> narrow;
    Kernel<IkLanes::Sse<2>> wide;
#if TAVRIN_IK_LANES_AVX
    AvxKernel<IkLanes::Avx> avx;
#endif
};

void IkLaneSolver::LanesDeleter::operator()(Lanes* lanes) const { delete lanes; }

bool IkLaneSolver::SameShape(const MMDIkSolver& a, const MMDIkSolver& b) {
    if (!a.m_poseValid || !b.m_poseValid || a.m_links.size() != b.m_links.size()) return false;
    for (std::size_t k = 0; k < a.m_links.size(); ++k) {
        const MMDIkLink& la = a.m_links[k];
        const MMDIkLink& lb = b.m_links[k];
        if (la.axisLimit != lb.axisLimit || (la.node == a.m_targetNode) != (lb.node == b.m_targetNode)) return false;
        if (la.axisLimit && IkStep::SingleLimitedAxis(la.limitMin, la.limitMax) !=
                                IkStep::SingleLimitedAxis(lb.limitMin, lb.limitMax)) {
            return false;
        }
    }
    const IkChainPose& pa = a.m_pose;
    const IkChainPose& pb = b.m_pose;
    if (pa.m_entries.size() != pb.m_entries.size() || pa.m_links.size() != pb.m_links.size() ||
        pa.m_target != pb.m_target || pa.m_ikEntry != pb.m_ikEntry) {
        return false;
    }
    for (std::size_t i = 0; i < pa.m_entries.size(); ++i) {
        const auto& ea = pa.m_entries[i];
        const auto& eb = pb.m_entries[i];
        if (ea.parent != eb.parent || (ea.outerParent != nullptr) != (eb.outerParent != nullptr) ||
            ea.isLink != eb.isLink) {
            return false;
        }
    }
    for (std::size_t k = 0; k < pa.m_links.size(); ++k) {
        if (pa.m_links[k].entry != pb.m_links[k].entry || pa.m_links[k].end != pb.m_links[k].end) return false;
    }
    return true;
}

void IkLaneSolver::Solve(std::span<MMDIkSolver* const> solvers) {
    if (!m_lanes) m_lanes.reset(new Lanes);
    // Up to four chains take one group of lanes; more take two (in one AVX register where the
    // processor has it), which costs more per step but runs them all in one pass.
    if (solvers.size() <= Kernel<IkLanes::Sse<1>>::kWidth) {
        m_lanes->narrow.Solve(solvers);
#if TAVRIN_IK_LANES_AVX
    } else if (m_avx) {
        m_lanes->avx.Solve(solvers);
#endif
    } else {
        m_lanes->wide.Solve(solvers);
    }
}

bool IkLaneSolver::HasAvx() {
#if TAVRIN_IK_LANES_AVX
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

#else

bool IkLaneSolver::SameShape(const MMDIkSolver&, const MMDIkSolver&) { return false; }
bool IkLaneSolver::HasAvx() { return false; }

struct IkLaneSolver::Lanes {};
void IkLaneSolver::LanesDeleter::operator()(Lanes* lanes) const { delete lanes; }

void IkLaneSolver::Solve(std::span<MMDIkSolver* const> solvers) {
    for (MMDIkSolver* s : solvers) s->Solve();
}

#endif

}  // namespace Vesma
