#pragma once
// The plan of a model's append and IK pass: which bone updates and solves run in which order, and
// which IK chains are solved together in lanes (IkLaneSolver).
//
// The pass visits the bones sorted by deform layer; a bone with an append source updates its
// local and subtree, and a bone that carries an IK runs its solve. Two of these steps can swap
// places, or run side by side, when neither reads a bone the other moves. A step moves the
// subtrees below the bones it writes (the append bone, or the IK links); it reads those bones,
// its append source, its IK target and its IK bone, and the globals above them. So two steps
// are independent when no bone one of them touches lies in a subtree the other one moves.
//
// Chains of one shape are gathered, eight at most, from the first one still to run onward: a later
// chain joins when it is independent of the members and of every step it would overtake. Every
// other step keeps its place, so the pass gives the same result as the sorted order.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/ik/IkLaneSolver.h"

namespace Vesma {

class MMDIkSolver;
class PMXNode;

struct NodePassStep {
    /// A bone whose append transform updates in this step; null in a solve step.
    PMXNode* appendNode = nullptr;
    /// The solves of this step: one, or up to eight chains of one shape.
    std::array<MMDIkSolver*, IkLaneSolver::kLanes> solvers{};
    std::size_t solverCount = 0;
};

class NodePassSchedule {
public:
    /// Plans the pass over `sortedNodes` (each bone's append update, then its solve). `walkOrder`
    /// lists every node of the tree parents first, each subtree in one run. Without
    /// `shareLanes` the steps are the sorted order, one solve each.
    void Build(std::span<PMXNode* const> sortedNodes, std::span<PMXNode* const> walkOrder, bool shareLanes);

    const std::vector<NodePassStep>& GetSteps() const { return m_steps; }

    /// False once a solver of a shared step has rebuilt its working copy (its links or nodes
    /// changed): the shapes the plan matched may no longer match.
    bool IsCurrent() const;

private:
    std::vector<NodePassStep> m_steps;
    std::vector<std::pair<const MMDIkSolver*, uint64_t>> m_sharedGenerations;
};

}  // namespace Vesma
