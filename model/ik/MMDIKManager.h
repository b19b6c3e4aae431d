#pragma once
// The IK solvers of a model: owns one MMDIkSolver per IK bone, in bone order. Solvers are held
// through owned pointers, so the pointers that nodes and motions keep stay valid.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "model/ik/MMDIkSolver.h"
#include "model/io/PMXFile.h"

namespace Vesma {

class MMDNodeManager;

class MMDIKManager {
public:
    size_t GetIKSolverCount() const { return m_solvers.size(); }
    /// Index of the first solver whose IK node's name equals `name` exactly, or -1.
    int FindIKSolverIndex(std::u16string_view name) const;
    /// The solver at `index`, or null when the index is out of range.
    MMDIkSolver* GetIKSolver(int64_t index) const {
        return index >= 0 && static_cast<uint64_t>(index) < m_solvers.size() ? m_solvers[index].get() : nullptr;
    }

    MMDIkSolver* AddIKSolver();
    void Clear() { m_solvers.clear(); }

    const std::vector<std::unique_ptr<MMDIkSolver>>& GetIKSolvers() const { return m_solvers; }

private:
    std::vector<std::unique_ptr<MMDIkSolver>> m_solvers;
};

/// Creates one solver for every bone with the IK flag, in bone order, from nodes already set up
/// from the same bones (SetupPMXNodes). The bone's node becomes the IK node and points at its
/// solver; every link node gets IK enabled. Link limits are mirrored for the z flip (x and y
/// ranges negated and swapped) after swapping any lower bound that exceeds its upper bound.
///
/// A bone whose target or any link names a bone that doesn't exist gets no solver; a negative
/// loop count runs no iterations. One message in MessageLog reports each kind of fault.
void SetupPMXIkSolvers(std::span<const PMXBone> bones, MMDNodeManager& nodes, MMDIKManager& solvers);

}  // namespace Vesma
