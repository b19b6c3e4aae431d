#include "model/skeleton/AfterPhysicsBones.h"

#include <unordered_set>

#include "core/Math.h"
#include "model/skeleton/PMXNode.h"

namespace Vesma {

void AfterPhysicsBones::Clear() {
    m_before.clear();
    m_after.clear();
    m_simulatedSources.clear();
}

void AfterPhysicsBones::Build(std::span<PMXNode* const> sortedNodes, std::span<MMDNode* const> simulatedNodes) {
    Clear();
    const std::unordered_set<const MMDNode*> simulated(simulatedNodes.begin(), simulatedNodes.end());
    for (PMXNode* node : sortedNodes) {
        const bool after = node->IsDeformAfterPhysics() && !simulated.contains(node);
        (after ? m_after : m_before).push_back(node);
    }
    std::unordered_set<const PMXNode*> taken;
    for (const PMXNode* node : m_after) {
        PMXNode* source = node->GetAppendNode();
        if (source && simulated.contains(source) && taken.insert(source).second) m_simulatedSources.push_back(source);
    }
}

void AfterPhysicsBones::TakeOnPhysicsPoses() const {
    for (PMXNode* node : m_simulatedSources) {
        const Math::mat4& local = node->GetLocalTransform();
        // A follower takes animate rotate (x) rotate, behind the IK rotate where IK is on: make that
        // product the rotation physics left in the local transform.
        const Math::quat turn = Math::Normalize(Math::QuaternionFromMatrix(local));
        node->SetRotate(Math::Conjugate(node->GetAnimateRotate()) * turn);
        node->SetIKRotate(Math::quat::Identity());
        // And translate - initial translate: the local translation less what the animation and the
        // source's own append add to it.
        Math::vec3 t = local.Translation() - node->GetAnimateTranslate();
        if (node->IsAppendTranslate()) t = t - node->GetAppendTranslate();
        node->SetTranslate(t);
    }
}

}  // namespace Vesma
