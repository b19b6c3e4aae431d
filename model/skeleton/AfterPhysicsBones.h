#pragma once
// The bones that deform after physics (PMX bone flag 0x1000) and what the frame does for them.
//
// Their append update and their IK solve wait until physics has run, so that a bone that follows a
// physics-driven bone, through its append source, its parent or its IK target, sees where physics
// put that bone this frame. Before physics these bones only get the plain local transform (no
// append terms, no IK), which is what kinematic bodies on them see.
//
// Physics writes a driven bone's global transform and the local one derived from it, not the pose
// values (rotate, translate) an append follower reads. So before the followers update, each
// driven append source takes on its physics result as pose values: its rotation and translation
// then describe its local transform again. Its transforms are left as physics set them. A source
// that inherits from an append source of its own passes on what it inherited, as it does before
// physics. The values go back to rest at the next frame's BeginUpdate.
//
// A bone bound to a simulated body is moved by physics itself; the flag means nothing for it.
#include <span>
#include <vector>

namespace Vesma {

class MMDNode;
class PMXNode;

class AfterPhysicsBones {
public:
    /// Sorts `sortedNodes` (by deform layer, then index) into the bones whose append and IK run
    /// before physics and those that run after it: flagged bones not among `simulatedNodes`
    /// (the nodes that simulated bodies drive).
    void Build(std::span<PMXNode* const> sortedNodes, std::span<MMDNode* const> simulatedNodes);
    void Clear();

    /// Whether any bone waits for physics; when none does, the before-physics list is the whole
    /// sorted list.
    bool Empty() const { return m_after.empty(); }
    const std::vector<PMXNode*>& BeforePhysics() const { return m_before; }
    const std::vector<PMXNode*>& AfterPhysics() const { return m_after; }
    /// The simulated append sources of the bones after physics.
    const std::vector<PMXNode*>& SimulatedSources() const { return m_simulatedSources; }

    /// Gives every simulated append source of the bones after physics the pose values of its
    /// current local transform (call once physics has run).
    void TakeOnPhysicsPoses() const;

private:
    std::vector<PMXNode*> m_before;
    std::vector<PMXNode*> m_after;
    std::vector<PMXNode*> m_simulatedSources;
};

}  // namespace Vesma
