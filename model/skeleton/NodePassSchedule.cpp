#include "model/skeleton/NodePassSchedule.h"

#include <unordered_map>

#include "model/ik/IkLaneSolver.h"
#include "model/ik/MMDIkSolver.h"
#include "model/skeleton/PMXNode.h"

namespace Vesma {

namespace {

// Beyond this many steps the plan keeps the sorted order (the pairwise checks grow as its square).
constexpr std::size_t kMaxPlannedSteps = 1024;

// What one step touches, in walk-order positions: the bones it reads or writes, and the runs of
// the subtrees it moves.
struct Footprint {
    std::vector<uint32_t> touched;
    std::vector<std::pair<uint32_t, uint32_t>> moved;  // [begin, end)
    bool unknown = false;                              // touches a bone outside the walk
};

bool Moves(const Footprint& mover, const Footprint& other) {
    for (const uint32_t t : other.touched) {
        for (const auto& [begin, end] : mover.moved) {
            if (t >= begin && t < end) return true;
        }
    }
    return false;
}

bool Independent(const Footprint& a, const Footprint& b) {
    return !a.unknown && !b.unknown && !Moves(a, b) && !Moves(b, a);
}

}  // namespace

void NodePassSchedule::Build(std::span<PMXNode* const> sortedNodes, std::span<PMXNode* const> walkOrder,
                             bool shareLanes) {
    m_steps.clear();
    m_sharedGenerations.clear();
    for (PMXNode* node : sortedNodes) {
        if (node->GetAppendNode()) {
            NodePassStep step;
            step.appendNode = node;
            m_steps.push_back(step);
        }
        if (MMDIkSolver* solver = node->GetIKSolver()) {
            NodePassStep step;
            step.solvers[0] = solver;
            step.solverCount = 1;
            m_steps.push_back(step);
        }
    }
    if (!shareLanes || m_steps.size() > kMaxPlannedSteps) return;

    // Walk-order position and subtree end of every node.
    std::unordered_map<const MMDNode*, uint32_t> position;
    std::vector<uint32_t> end(walkOrder.size());
    for (uint32_t i = 0; i < walkOrder.size(); ++i) {
        position[walkOrder[i]] = i;
        end[i] = i + 1;
    }
    for (uint32_t i = static_cast<uint32_t>(walkOrder.size()); i-- > 0;) {
        const MMDNode* parent = walkOrder[i]->GetParent();
        const auto found = parent ? position.find(parent) : position.end();
        if (found != position.end()) end[found->second] = std::max(end[found->second], end[i]);
    }
    const auto footprint = [&](const NodePassStep& step) {
        Footprint f;
        const auto touch = [&](const MMDNode* node, bool moves) {
            const auto found = node ? position.find(node) : position.end();
            if (found == position.end()) {
                f.unknown = f.unknown || node != nullptr;
                return;
            }
            f.touched.push_back(found->second);
            if (moves) f.moved.push_back({found->second, end[found->second]});
        };
        if (step.appendNode) {
            touch(step.appendNode, true);
            touch(step.appendNode->GetAppendNode(), false);
        } else {
            const MMDIkSolver& solver = *step.solvers[0];
            for (const MMDIkLink& link : solver.GetLinks()) touch(link.node, true);
            touch(solver.GetTargetNode(), false);
            touch(solver.GetIKNode(), false);
        }
        return f;
    };
    std::vector<Footprint> footprints;
    footprints.reserve(m_steps.size());
    for (const NodePassStep& step : m_steps) footprints.push_back(footprint(step));

    std::vector<NodePassStep> planned;
    std::vector<bool> done(m_steps.size(), false);
    for (std::size_t i = 0; i < m_steps.size(); ++i) {
        if (done[i]) continue;
        done[i] = true;
        NodePassStep step = m_steps[i];
        std::vector<std::size_t> members{i};
        MMDIkSolver* lead = step.solverCount == 1 ? step.solvers[0] : nullptr;
        if (lead && lead->PreparePose()) {
            for (std::size_t j = i + 1; j < m_steps.size() && step.solverCount < IkLaneSolver::kLanes; ++j) {
                MMDIkSolver* candidate = m_steps[j].solverCount == 1 ? m_steps[j].solvers[0] : nullptr;
                if (done[j] || !candidate || !candidate->PreparePose() || !IkLaneSolver::SameShape(*lead, *candidate)) {
                    continue;
                }
                bool free = true;
                for (std::size_t m = i + 1; m < j && free; ++m) free = done[m] || Independent(footprints[m], footprints[j]);
                for (const std::size_t m : members) free = free && Independent(footprints[m], footprints[j]);
                if (!free) continue;
                done[j] = true;
                members.push_back(j);
                step.solvers[step.solverCount++] = candidate;
            }
        }
        if (step.solverCount > 1) {
            for (std::size_t s = 0; s < step.solverCount; ++s) {
                m_sharedGenerations.push_back({step.solvers[s], step.solvers[s]->GetPoseGeneration()});
            }
        }
        planned.push_back(step);
    }
    m_steps = std::move(planned);
}

bool NodePassSchedule::IsCurrent() const {
    for (const auto& [solver, generation] : m_sharedGenerations) {
        if (solver->GetPoseGeneration() != generation) return false;
    }
    return true;
}

}  // namespace Vesma
