#pragma once
// Solves up to eight IK chains of the same shape at once, one chain per SIMD lane.
//
// Dance models repeat their chains: two legs, two toes, rows of skirt or hair chains. Chains with
// the same links, limits and working copy (IkChainPose) run the same sequence of operations, so
// several of them can share each instruction. Each lane does exactly the arithmetic the one-chain
// solver does, in the same order (the branches become per-lane choices, and the few steps that call
// the maths library run lane by lane through the same functions), so every chain ends with the same
// bits as when solved alone. A chain that stops early keeps its result while the others go on.
//
// The caller picks chains that don't depend on one another: none reads a bone another one moves.
#include <cstddef>
#include <memory>
#include <span>

namespace Vesma {

class MMDIkSolver;

class IkLaneSolver {
public:
    static constexpr std::size_t kLanes = 8;

    /// Whether `a` and `b`, both with their working copies prepared (MMDIkSolver::PreparePose),
    /// can share lanes: the same number of links with the same kind of limits, and working
    /// copies of the same layout. Always false where the lanes aren't available.
    static bool SameShape(const MMDIkSolver& a, const MMDIkSolver& b);

    /// Solves each of `solvers` (at most kLanes; same shape, prepared and independent of one
    /// another) as MMDIkSolver::Solve would. Disabled solvers are left alone.
    void Solve(std::span<MMDIkSolver* const> solvers);

    /// Whether more than four chains may share one AVX register, where the processor has AVX (the
    /// default), rather than two SSE ones. The results are the same either way.
    void UseAvx(bool use) { m_avx = use && HasAvx(); }

private:
    static bool HasAvx();
    // The lanes' arithmetic and the solve, for a set of lanes: one for SSE and one compiled for AVX.
    template <class LaneSet>
    class Kernel;
    template <class LaneSet>
    class AvxKernel;
    struct Lanes;
    struct LanesDeleter {
        void operator()(Lanes* lanes) const;
    };
    std::unique_ptr<Lanes, LanesDeleter> m_lanes;
    bool m_avx = HasAvx();
};

}  // namespace Vesma
