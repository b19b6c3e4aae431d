#include "model/ik/MMDIKManager.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/MessageLog.h"
#include "model/skeleton/MMDNodeManager.h"

namespace Vesma {

int MMDIKManager::FindIKSolverIndex(std::u16string_view name) const {
    for (size_t i = 0; i < m_solvers.size(); ++i) {
        if (m_solvers[i]->GetName() == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

MMDIkSolver* MMDIKManager::AddIKSolver() {
    m_solvers.push_back(std::make_unique<MMDIkSolver>());
    return m_solvers.back().get();
}

void SetupPMXIkSolvers(std::span<const PMXBone> bones, MMDNodeManager& nodes, MMDIKManager& solvers) {
    solvers.Clear();
    size_t badChains = 0;
    size_t negativeLoops = 0;

    for (size_t i = 0; i < bones.size(); ++i) {
        const PMXBone& bone = bones[i];
        if (!HasFlag(bone.boneFlag, PMXBoneFlags::IK)) {
            continue;
        }
        PMXNode* ikNode = nodes.GetNode(static_cast<int64_t>(i));
        PMXNode* target = nodes.GetNode(bone.ikTargetBoneIndex);
        bool valid = ikNode && target;
        for (const PMXIKLink& link : bone.ikLinks) {
            valid = valid && nodes.GetNode(link.ikBoneIndex);
        }
        if (!valid) {
            ++badChains;
            continue;
        }

        MMDIkSolver* solver = solvers.AddIKSolver();
        solver->SetIKNode(ikNode);
        solver->SetTargetNode(target);
        if (bone.ikIterationCount < 0) {
            ++negativeLoops;
        }
        solver->SetIterateCount(static_cast<uint32_t>(std::max(bone.ikIterationCount, 0)));
        solver->SetLimitAngle(bone.ikLimit);

        for (const PMXIKLink& link : bone.ikLinks) {
            PMXNode* node = nodes.GetNode(link.ikBoneIndex);
            node->EnableIK(true);
            if (link.enableLimit == 0) {
                solver->AddIKLink(node);
                continue;
            }
            Math::vec3 lo = link.limitMin;
            Math::vec3 hi = link.limitMax;
            for (int c = 0; c < 3; ++c) {
                if (lo[c] > hi[c]) {
                    std::swap(lo[c], hi[c]);
                }
            }
            // Negating z mirrors rotations about x and y: their ranges flip sign and swap ends.
            solver->AddIKLink(node, true, {-hi.x, -hi.y, lo.z}, {-lo.x, -lo.y, hi.z});
        }
        ikNode->SetIKSolver(solver);
    }

    if (badChains > 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(badChains) +
                                          " IK bone(s) name a target or link bone that does not exist; their IK is "
                                          "ignored.");
    }
    if (negativeLoops > 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(negativeLoops) +
                                          " IK bone(s) have a negative loop count and are not solved.");
    }
}

}  // namespace Vesma
