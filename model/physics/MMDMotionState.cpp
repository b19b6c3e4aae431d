#include "model/physics/MMDMotionState.h"

#include "model/physics/BulletConvert.h"
#include "model/skeleton/MMDNode.h"

namespace Vesma {

namespace {

btTransform BoneTransform(const MMDNode* node, const Math::mat4& offset) {
    return ToBtTransform(Math::MirrorZ(offset * node->GetGlobalTransform()));
}

}  // namespace

DefaultMotionState::DefaultMotionState(const Math::mat4& transform)
    : m_initialTransform(ToBtTransform(transform)), m_transform(m_initialTransform) {}

DynamicMotionState::DynamicMotionState(MMDNode* node, const Math::mat4& offset, bool override)
    : m_node(node), m_offset(offset), m_invOffset(Math::Inverse(offset)), m_override(override) {
    Reset();
}

void DynamicMotionState::Reset() { m_transform = BoneTransform(m_node, m_offset); }

Math::mat4 DynamicMotionState::SimulatedGlobal() const {
    return m_invOffset * Math::MirrorZ(FromBtTransform(m_transform));
}

void DynamicMotionState::ReflectGlobalTransform() {
    if (m_override) m_node->SetGlobalTransform(SimulatedGlobal());
}

void DynamicAndBoneMergeMotionState::ReflectGlobalTransform() {
    if (m_override) {
        Math::mat4 global = SimulatedGlobal();
        global.SetTranslation(m_node->GetGlobalTransform().Translation());
        m_node->SetGlobalTransform(global);
    }
}

KinematicMotionState::KinematicMotionState(MMDNode* node, const Math::mat4& offset)
    : m_node(node), m_offset(offset) {}

void KinematicMotionState::getWorldTransform(btTransform& worldTrans) const {
    worldTrans = BoneTransform(m_node, m_offset);
}

}  // namespace Vesma
