#pragma once
// The node of a PMX bone: an MMDNode plus the deform layer that orders the per-frame pass, the
// append (inherit) parent whose rotation and/or translation it takes on with a weight, the IK
// solver the bone carries, and the fixed axis that a twist bone's motion turns about.
#include <cstdint>
#include <span>

#include "model/skeleton/MMDNode.h"
#include "model/io/PMXFile.h"

namespace Vesma {

class MMDIkSolver;
class MMDNodeManager;

class PMXNode : public MMDNode {
public:
    /// The local transform with the append terms: t += append translate when append-translate is
    /// set; the append rotate is the outer rotation (applied after the IK term) when append-rotate
    /// is set.
    LocalParts GetLocalParts() const override {
        LocalParts parts = MMDNode::GetLocalParts();
        if (m_isAppendTranslate) parts.t += m_appendTranslate;
        parts.outer = m_appendRotate;
        parts.hasOuter = m_isAppendRotate;
        return parts;
    }
    /// BeginUpdate without the virtual call, for the model's per-frame pass.
    void BeginPMXUpdate() {
        RestorePose();
        PMXNode::BeginUpdateHook();
    }
    /// ComputeLocalTransform without the virtual call.
    void UpdateLocalTransform() { SetLocalTransform(ComposeLocal(PMXNode::GetLocalParts(), GetIKRotate())); }
    /// The model's per-frame node pass: for each node of `order`, which lists parents before their
    /// children, UpdateLocalTransform then UpdateOwnGlobalTransform, with the same bits.
    static void UpdateLocalsAndGlobals(std::span<PMXNode* const> order);

    /// Takes on the append parent's rotation and/or translation, scaled by the append weight, then
    /// recomputes the local transform. Does nothing for a node without an append parent. The
    /// caller updates the global transform afterwards.
    void UpdateAppendTransform();

    int32_t GetDeformDepth() const { return m_deformDepth; }
    void SetDeformDepth(int32_t depth) { m_deformDepth = depth; }

    PMXNode* GetAppendNode() const { return m_appendNode; }
    void SetAppendNode(PMXNode* node) { m_appendNode = node; }
    bool IsAppendRotate() const { return m_isAppendRotate; }
    void EnableAppendRotate(bool enable) { m_isAppendRotate = enable; }
    bool IsAppendTranslate() const { return m_isAppendTranslate; }
    void EnableAppendTranslate(bool enable) { m_isAppendTranslate = enable; }
    bool IsAppendLocal() const { return m_isAppendLocal; }
    void EnableAppendLocal(bool enable) { m_isAppendLocal = enable; }
    float GetAppendWeight() const { return m_appendWeight; }
    void SetAppendWeight(float weight) { m_appendWeight = weight; }

    /// PMX bone flag 0x1000: the bone's append update and IK solve wait until physics has run.
    bool IsDeformAfterPhysics() const { return m_deformAfterPhysics; }
    void EnableDeformAfterPhysics(bool enable) { m_deformAfterPhysics = enable; }

    /// Computed each frame by UpdateAppendTransform; reset by BeginUpdate.
    const Math::vec3& GetAppendTranslate() const { return m_appendTranslate; }
    const Math::quat& GetAppendRotate() const { return m_appendRotate; }

    /// The IK solver this bone carries (owned by the model), or null.
    MMDIkSolver* GetIKSolver() const { return m_ikSolver; }
    void SetIKSolver(MMDIkSolver* solver) { m_ikSolver = solver; }

    /// A bone with a fixed axis takes its motion's rotation only as a turn about that axis (see
    /// NodeController); IK and bone morphs still turn it freely. The axis is in model space, unit,
    /// or zero when the file's axis is zero, which allows the motion no turn at all.
    bool HasFixedAxis() const { return m_hasFixedAxis; }
    const Math::vec3& GetFixedAxis() const { return m_fixedAxis; }
    /// `axis` is already in model space: FixedAxisFromFile converts the file's.
    void SetFixedAxis(const Math::vec3& axis) {
        m_fixedAxis = axis;
        m_hasFixedAxis = true;
    }

protected:
    void BeginUpdateHook() override {
        m_appendTranslate = {};
        m_appendRotate = Math::quat::Identity();
    }

private:
    int32_t m_deformDepth = 0;
    PMXNode* m_appendNode = nullptr;
    bool m_isAppendRotate = false;
    bool m_isAppendTranslate = false;
    bool m_isAppendLocal = false;
    bool m_deformAfterPhysics = false;
    float m_appendWeight = 0.0f;
    Math::vec3 m_appendTranslate;
    Math::quat m_appendRotate;
    MMDIkSolver* m_ikSolver = nullptr;
    bool m_hasFixedAxis = false;
    Math::vec3 m_fixedAxis;
};

/// Fills `nodes` with one node per bone (file order, named) and sets each up from its bone:
/// parent link and rest translation relative to the parent (z negated), bind transform and its
/// inverse, deform layer, append flags, append parent and weight, fixed axis, the after-physics
/// flag, initial pose.
///
/// Hostile indices are never followed: a parent index that is out of range, names the bone itself
/// or closes a loop of parents leaves the bone a root; an append parent that is out of range or
/// the bone itself is dropped. One message in MessageLog reports how many bones were affected.
void SetupPMXNodes(std::span<const PMXBone> bones, MMDNodeManager& nodes);

}  // namespace Vesma
