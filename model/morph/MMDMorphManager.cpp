#include "model/morph/MMDMorphManager.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "model/morph/MorphVertexTracker.h"
#include "model/skeleton/MMDNode.h"

namespace Vesma {

int MMDMorphManager::FindMorphIndex(std::u16string_view name) const {
    for (size_t i = 0; i < m_morphs.size(); ++i) {
        if (m_morphs[i]->GetName() == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

MMDMorph* MMDMorphManager::AddMorph(std::u16string name, MorphType type) {
    auto morph = std::make_unique<MMDMorph>();
    morph->SetName(std::move(name));
    morph->SetType(type);
    const auto appendList = [&](auto& lists) {
        morph->SetListIndex(lists.size());
        lists.emplace_back();
    };
    switch (type) {
        case MorphType::Position:
            appendList(m_positionMorphs);
            m_positionVertexEnd.push_back(0);
            break;
        case MorphType::UV:
            appendList(m_uvMorphs);
            m_uvVertexEnd.push_back(0);
            break;
        case MorphType::Material: appendList(m_materialMorphs); break;
        case MorphType::Bone: appendList(m_boneMorphs); break;
        case MorphType::Group: appendList(m_groupMorphs); break;
        case MorphType::None: break;
    }
    m_morphs.push_back(std::move(morph));
    ++m_generation;
    return m_morphs.back().get();
}

void MMDMorphManager::Clear() {
    m_morphs.clear();
    m_positionMorphs.clear();
    m_uvMorphs.clear();
    m_boneMorphs.clear();
    m_materialMorphs.clear();
    m_groupMorphs.clear();
    m_positionVertexEnd.clear();
    m_uvVertexEnd.clear();
    ++m_generation;
}

namespace {

template <class Offset>
uint32_t VertexEnd(const std::vector<Offset>& offsets) {
    uint32_t end = 0;
    for (const Offset& o : offsets) end = std::max(end, o.vertex + 1);
    return end;
}

// Adds one list at weight w onto `out` (`outSize` entries). `vertexEnd` bounds the list's vertex
// indices, so a list inside the buffer needs no check per offset.
template <class Offset, class Value>
void AddList(const std::vector<Offset>& offsets, uint32_t vertexEnd, float w, Value* out, size_t outSize) {
    const Offset* o = offsets.data();
    const Offset* const end = o + offsets.size();
    if (vertexEnd <= outSize) {
        for (; o != end; ++o) out[o->vertex] = out[o->vertex] + o->offset * w;
    } else {
        for (; o != end; ++o) {
            if (o->vertex < outSize) out[o->vertex] = out[o->vertex] + o->offset * w;
        }
    }
}

bool AllFinite(const std::vector<BoneMorphOffset>& offsets) {
    for (const BoneMorphOffset& o : offsets) {
        const float values[7] = {o.translate.x, o.translate.y, o.translate.z, o.rotate.x, o.rotate.y, o.rotate.z, o.rotate.w};
        for (float v : values) {
            if (!std::isfinite(v)) return false;
        }
    }
    return true;
}

}  // namespace

void MMDMorphManager::SetPositionOffsets(uint64_t list, std::vector<PositionMorphOffset> offsets) {
    if (list >= m_positionMorphs.size()) return;
    m_positionVertexEnd[list] = VertexEnd(offsets);
    m_positionMorphs[list] = std::move(offsets);
    ++m_generation;
}

void MMDMorphManager::SetUVOffsets(uint64_t list, std::vector<UVMorphOffset> offsets) {
    if (list >= m_uvMorphs.size()) return;
    m_uvVertexEnd[list] = VertexEnd(offsets);
    m_uvMorphs[list] = std::move(offsets);
    ++m_generation;
}

void MMDMorphManager::ApplyMorph(const MMDMorph& morph, float weight, const MorphTargets& targets) const {
    if (targets.tracker) targets.tracker->BeginPass();
    Apply(morph, weight, targets, 0);
    if (targets.tracker) targets.tracker->FinishPass(*this, targets);
}

void MMDMorphManager::ApplyMorphs(const MorphTargets& targets) const {
    if (targets.tracker) targets.tracker->BeginPass();
    for (const auto& morph : m_morphs) {
        const float w = morph->GetWeight();
        // Most morphs rest at 0, where position and UV morphs write nothing.
        if (w == 0.0f && (morph->GetType() == MorphType::Position || morph->GetType() == MorphType::UV)) continue;
        Apply(*morph, w, targets, 0);
    }
    if (targets.tracker) targets.tracker->FinishPass(*this, targets);
}

void MMDMorphManager::ClearAppliedMorphs(const MorphTargets& targets) const {
    if (targets.tracker) targets.tracker->ClearPlan(*this, targets);
}

void MMDMorphManager::Apply(const MMDMorph& morph, float w, const MorphTargets& targets, int depth) const {
    const uint64_t list = morph.GetListIndex();
    switch (morph.GetType()) {
        case MorphType::Position:
            if (w == 0.0f || list >= m_positionMorphs.size()) return;
            if (targets.tracker) {
                targets.tracker->NoteList(MorphType::Position, static_cast<uint32_t>(list), w);
            } else {
                AddList(m_positionMorphs[list], m_positionVertexEnd[list], w, targets.positionOffsets.data(),
                        targets.positionOffsets.size());
            }
            return;
        case MorphType::UV:
            if (w == 0.0f || list >= m_uvMorphs.size()) return;
            if (targets.tracker) {
                targets.tracker->NoteList(MorphType::UV, static_cast<uint32_t>(list), w);
            } else {
                AddList(m_uvMorphs[list], m_uvVertexEnd[list], w, targets.uvOffsets.data(), targets.uvOffsets.size());
            }
            return;
        case MorphType::Bone:
            if (list >= m_boneMorphs.size() || (w == 0.0f && AllFinite(m_boneMorphs[list]))) {
                // At weight 0 finite offsets move nothing: t + 0·d is t and a slerp at 0 is its
                // start (a zero component may at most lose its sign).
                return;
            }
            // On top of the rest pose BeginUpdate restored, before the motion's animate values.
            for (const BoneMorphOffset& o : m_boneMorphs[list]) {
                if (o.node) {
                    o.node->SetTranslate(o.node->GetTranslate() + o.translate * w);
                    o.node->SetRotate(Math::Slerp(o.node->GetRotate(), o.rotate, w));
                }
            }
            return;
        case MorphType::Material: {
            if (list >= m_materialMorphs.size()) {
                return;
            }
            const size_t materials = std::min(targets.materialMul.size(), targets.materialAdd.size());
            for (const MaterialMorphOffset& o : m_materialMorphs[list]) {
                if (o.materialIndex == -1) {
                    for (size_t m = 0; m < materials; ++m) {
                        ApplyMaterialMorphOffset(o, w, targets.materialMul[m], targets.materialAdd[m]);
                    }
                } else if (o.materialIndex >= 0 && static_cast<size_t>(o.materialIndex) < materials) {
                    ApplyMaterialMorphOffset(o, w, targets.materialMul[o.materialIndex],
                                             targets.materialAdd[o.materialIndex]);
                }
            }
            return;
        }
        case MorphType::Group:
            if (depth >= kMaxGroupDepth || list >= m_groupMorphs.size()) {
                return;
            }
            for (const GroupMorphOffset& o : m_groupMorphs[list]) {
                if (const MMDMorph* member = GetMorph(o.morph)) {
                    Apply(*member, w * o.weight, targets, depth + 1);
                }
            }
            return;
        case MorphType::None:
            return;
    }
}

void MMDMorphManager::SaveBaseAnimation() {
    for (const auto& morph : m_morphs) {
        morph->SaveBaseAnimation();
    }
}

void MMDMorphManager::ClearBaseAnimation() {
    for (const auto& morph : m_morphs) {
        morph->ClearBaseAnimation();
    }
}

}  // namespace Vesma
