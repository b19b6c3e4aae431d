#include "model/PMXNode.h"

#include <string>
#include <vector>

#include "core/MessageLog.h"
#include "model/MMDNodeManager.h"

namespace Vesma {

void PMXNode::BeginUpdateHook() {
    m_appendTranslate = {};
    m_appendRotate = Math::quat::Identity();
}

void PMXNode::UpdateAppendTransform() {
    const PMXNode* source = m_appendNode;
    if (!source) {
        return;
    }
    // A source that inherits from a bone of its own passes on what it inherited (unless this bone
    // takes the source's local values); otherwise it passes on its own animated pose.
    const bool takeInherited = !m_isAppendLocal && source->m_appendNode;
    if (m_isAppendRotate) {
        Math::quat q = takeInherited ? source->m_appendRotate : source->GetAnimateRotate() * source->GetRotate();
        if (source->IsIKEnabled()) {
            q = source->GetIKRotate() * q;
        }
        m_appendRotate = Math::Slerp(Math::quat::Identity(), q, m_appendWeight);
    }
    if (m_isAppendTranslate) {
        const Math::vec3 d =
            takeInherited ? source->m_appendTranslate : source->GetTranslate() - source->GetInitialTranslate();
        m_appendTranslate = d * m_appendWeight;
    }
    ComputeLocalTransform();
}

namespace {

Math::vec3 FlipZ(const Math::vec3& v) { return {v.x, v.y, -v.z}; }

// Parent of each bone, with indices that can't be followed replaced by -1: out of range, the
// bone itself, or one link of a loop (the loop is opened at its lowest-numbered bone). Linear in
// the bone count, so long chains in hostile files stay cheap. Returns how many were replaced.
size_t ValidParents(std::span<const PMXBone> bones, std::vector<int32_t>& parents) {
    const size_t count = bones.size();
    size_t dropped = 0;
    parents.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const int32_t p = bones[i].parentBoneIndex;
        const bool valid = p >= 0 && static_cast<size_t>(p) < count && static_cast<size_t>(p) != i;
        parents[i] = valid ? p : -1;
        dropped += (!valid && p != -1) ? 1 : 0;
    }

    enum : uint8_t { kUnseen, kOnPath, kDone };
    std::vector<uint8_t> state(count, kUnseen);
    std::vector<int32_t> path;
    for (size_t start = 0; start < count; ++start) {
        path.clear();
        int32_t j = static_cast<int32_t>(start);
        while (j != -1 && state[j] == kUnseen) {
            state[j] = kOnPath;
            path.push_back(j);
            j = parents[j];
        }
        if (j != -1 && state[j] == kOnPath) {
            // j is on the walk just taken: the path from j on is a loop.
            int32_t lowest = j;
            for (size_t k = path.size(); k-- > 0 && path[k] != j;) {
                lowest = path[k] < lowest ? path[k] : lowest;
            }
            parents[lowest] = -1;
            ++dropped;
        }
        for (int32_t k : path) {
            state[k] = kDone;
        }
    }
    return dropped;
}

}  // namespace

void SetupPMXNodes(std::span<const PMXBone> bones, MMDNodeManager& nodes) {
    nodes.Clear();
    for (const PMXBone& bone : bones) {
        nodes.AddNode()->SetName(bone.name);
    }

    std::vector<int32_t> parents;
    const size_t badParents = ValidParents(bones, parents);
    size_t badAppends = 0;

    for (size_t i = 0; i < bones.size(); ++i) {
        const PMXBone& bone = bones[i];
        PMXNode* node = nodes.GetNode(static_cast<int64_t>(i));

        if (PMXNode* parent = nodes.GetNode(parents[i])) {
            parent->AddChild(node);
            node->SetTranslate(FlipZ(bone.position - bones[parents[i]].position));
        } else {
            node->SetTranslate(FlipZ(bone.position));
        }

        const Math::vec3 bindPosition = FlipZ(bone.position);
        node->SetGlobalTransform(Math::Translation(bindPosition));
        // The exact inverse of a pure translation; no general inversion round-off.
        node->SetInverseInitTransform(Math::Translation(-bindPosition));

        node->SetDeformDepth(bone.deformDepth);
        const bool appendRotate = HasFlag(bone.boneFlag, PMXBoneFlags::AppendRotate);
        const bool appendTranslate = HasFlag(bone.boneFlag, PMXBoneFlags::AppendTranslate);
        node->EnableAppendRotate(appendRotate);
        node->EnableAppendTranslate(appendTranslate);
        if ((appendRotate || appendTranslate) && bone.appendBoneIndex != -1) {
            PMXNode* source = nodes.GetNode(bone.appendBoneIndex);
            if (source && source != node) {
                node->EnableAppendLocal(HasFlag(bone.boneFlag, PMXBoneFlags::AppendLocal));
                node->SetAppendNode(source);
                node->SetAppendWeight(bone.appendWeight);
            } else {
                ++badAppends;
            }
        }

        node->SaveInitialTRS();
    }

    if (badParents > 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(badParents) +
                                          " bone(s) name an invalid parent bone and are treated as roots.");
    }
    if (badAppends > 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(badAppends) +
                                          " bone(s) name an invalid append parent; their append is ignored.");
    }
}

}  // namespace Vesma
