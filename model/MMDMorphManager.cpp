#include "model/MMDMorphManager.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "core/MessageLog.h"
#include "model/MMDNodeManager.h"
#include "model/VertexSkinning.h"

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
        case MorphType::Position: appendList(m_positionMorphs); break;
        case MorphType::UV: appendList(m_uvMorphs); break;
        case MorphType::Material: appendList(m_materialMorphs); break;
        case MorphType::Bone: appendList(m_boneMorphs); break;
        case MorphType::Group: appendList(m_groupMorphs); break;
        case MorphType::None: break;
    }
    m_morphs.push_back(std::move(morph));
    return m_morphs.back().get();
}

void MMDMorphManager::Clear() {
    m_morphs.clear();
    m_positionMorphs.clear();
    m_uvMorphs.clear();
    m_boneMorphs.clear();
    m_materialMorphs.clear();
    m_groupMorphs.clear();
}

void MMDMorphManager::ApplyMorph(const MMDMorph& morph, float weight, const MorphTargets& targets) const {
    Apply(morph, weight, targets, 0);
}

void MMDMorphManager::ApplyMorphs(const MorphTargets& targets) const {
    for (const auto& morph : m_morphs) {
        Apply(*morph, morph->GetWeight(), targets, 0);
    }
}

void MMDMorphManager::ClearAppliedMorphs(const MorphTargets& targets) const {
    if (!targets.tracker) return;
    const std::span<uint8_t> flags = targets.tracker->flags;
    for (const AppliedMorph& applied : *targets.tracker->applied) {
        if (applied.type == MorphType::Position && applied.list < m_positionMorphs.size()) {
            for (const PositionMorphOffset& o : m_positionMorphs[applied.list]) {
                if (o.vertex < targets.positionOffsets.size()) targets.positionOffsets[o.vertex] = Math::vec3();
                if (o.vertex < flags.size()) flags[o.vertex] = 0;
            }
        } else if (applied.type == MorphType::UV && applied.list < m_uvMorphs.size()) {
            for (const UVMorphOffset& o : m_uvMorphs[applied.list]) {
                if (o.vertex < targets.uvOffsets.size()) targets.uvOffsets[o.vertex] = Math::vec4();
                if (o.vertex < flags.size()) flags[o.vertex] = 0;
            }
        }
    }
    targets.tracker->applied->clear();
}

void MMDMorphManager::Apply(const MMDMorph& morph, float w, const MorphTargets& targets, int depth) const {
    const uint64_t list = morph.GetListIndex();
    switch (morph.GetType()) {
        case MorphType::Position:
            if (w == 0.0f || list >= m_positionMorphs.size()) {
                return;
            }
            {
                // Without a tracker there are no flags to set.
                const std::span<uint8_t> flags = targets.tracker ? targets.tracker->flags : std::span<uint8_t>();
                if (targets.tracker) targets.tracker->applied->push_back({MorphType::Position, static_cast<uint32_t>(list)});
                for (const PositionMorphOffset& o : m_positionMorphs[list]) {
                    if (o.vertex < targets.positionOffsets.size()) {
                        targets.positionOffsets[o.vertex] += o.offset * w;
                        if (o.vertex < flags.size()) flags[o.vertex] |= kMorphPositionFlag;
                    }
                }
            }
            return;
        case MorphType::UV:
            if (w == 0.0f || list >= m_uvMorphs.size()) {
                return;
            }
            {
                const std::span<uint8_t> flags = targets.tracker ? targets.tracker->flags : std::span<uint8_t>();
                if (targets.tracker) targets.tracker->applied->push_back({MorphType::UV, static_cast<uint32_t>(list)});
                for (const UVMorphOffset& o : m_uvMorphs[list]) {
                    if (o.vertex < targets.uvOffsets.size()) {
                        targets.uvOffsets[o.vertex] = targets.uvOffsets[o.vertex] + o.offset * w;
                        if (o.vertex < flags.size()) flags[o.vertex] |= kMorphUVFlag;
                    }
                }
            }
            return;
        case MorphType::Bone:
            if (list >= m_boneMorphs.size()) {
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

uint64_t MMDMorphManager::LeafCost(const MMDMorph& morph) const {
    const uint64_t list = morph.GetListIndex();
    const auto sizeOf = [&](const auto& lists) -> uint64_t {
        return list < lists.size() ? std::max<uint64_t>(lists[list].size(), 1) : 1;
    };
    switch (morph.GetType()) {
        case MorphType::Position: return sizeOf(m_positionMorphs);
        case MorphType::UV: return sizeOf(m_uvMorphs);
        case MorphType::Bone: return sizeOf(m_boneMorphs);
        case MorphType::Material: return sizeOf(m_materialMorphs);
        default: return 1;
    }
}

// Layer by layer from the deepest: a group at kMaxGroupDepth costs its own call only; above it, a
// group costs one plus its members at the next depth. Sums saturate: hostile nesting makes the
// exact counts astronomically large, and only their size matters.
std::vector<std::vector<uint64_t>> MMDMorphManager::GroupCosts() const {
    const size_t groups = m_groupMorphs.size();
    std::vector<std::vector<uint64_t>> cost(kMaxGroupDepth + 1, std::vector<uint64_t>(groups, 1));
    constexpr uint64_t kSaturated = uint64_t{1} << 62;
    for (int d = kMaxGroupDepth - 1; d >= 0; --d) {
        for (size_t g = 0; g < groups; ++g) {
            uint64_t sum = 1;
            for (const GroupMorphOffset& o : m_groupMorphs[g]) {
                const MMDMorph* member = GetMorph(o.morph);
                if (!member) {
                    continue;
                }
                const uint64_t c = member->GetType() == MorphType::Group && member->GetListIndex() < groups
                                       ? cost[d + 1][member->GetListIndex()]
                                       : LeafCost(*member);
                sum = std::min(sum + c, kSaturated);
            }
            cost[d][g] = sum;
        }
    }
    return cost;
}

size_t MMDMorphManager::LimitGroupWork(uint64_t budget) {
    size_t emptied = 0;
    // Each round empties the most expensive groups until the estimate fits. The estimate counts a
    // group's members even when they were emptied in the same round, so it only ever overstates;
    // the next round recomputes it exactly.
    for (;;) {
        const std::vector<std::vector<uint64_t>> cost = GroupCosts();
        uint64_t total = 0;
        for (const auto& morph : m_morphs) {
            const bool group = morph->GetType() == MorphType::Group && morph->GetListIndex() < m_groupMorphs.size();
            total += group ? cost[0][morph->GetListIndex()] : LeafCost(*morph);
            total = std::min(total, uint64_t{1} << 62);
        }
        if (total <= budget) {
            return emptied;
        }
        std::vector<size_t> order(m_groupMorphs.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return cost[0][a] > cost[0][b]; });
        const size_t before = emptied;
        for (size_t g : order) {
            if (total <= budget) {
                break;
            }
            if (!m_groupMorphs[g].empty()) {
                total -= std::min(total, cost[0][g] - 1);
                m_groupMorphs[g].clear();
                ++emptied;
            }
        }
        if (emptied == before) {
            return emptied;  // the morphs alone exceed the budget; groups can't help
        }
    }
}

size_t MMDMorphManager::CountCutGroups() const {
    const size_t groups = m_groupMorphs.size();
    std::vector<uint8_t> deeper(groups);
    for (size_t g = 0; g < groups; ++g) {
        deeper[g] = m_groupMorphs[g].empty() ? 0 : 1;  // reached at kMaxGroupDepth, it loses its members
    }
    for (int d = kMaxGroupDepth - 1; d >= 0; --d) {
        std::vector<uint8_t> current(groups, 0);
        for (size_t g = 0; g < groups; ++g) {
            for (const GroupMorphOffset& o : m_groupMorphs[g]) {
                const MMDMorph* member = GetMorph(o.morph);
                if (member && member->GetType() == MorphType::Group && member->GetListIndex() < groups &&
                    deeper[member->GetListIndex()]) {
                    current[g] = 1;
                    break;
                }
            }
        }
        deeper.swap(current);
    }
    return static_cast<size_t>(std::count(deeper.begin(), deeper.end(), uint8_t{1}));
}

namespace {

MorphType KindOf(PMXMorphType type) {
    switch (type) {
        case PMXMorphType::Group: return MorphType::Group;
        case PMXMorphType::Position: return MorphType::Position;
        case PMXMorphType::Bone: return MorphType::Bone;
        case PMXMorphType::UV: return MorphType::UV;
        case PMXMorphType::Material: return MorphType::Material;
        default: return MorphType::None;
    }
}

bool InRange(int32_t index, size_t count) { return index >= 0 && static_cast<uint64_t>(index) < count; }

}  // namespace

void SetupPMXMorphs(std::span<const PMXMorph> morphs, const MMDNodeManager& nodes, size_t vertexCount,
                    size_t materialCount, MMDMorphManager& out) {
    out.Clear();
    size_t dropped = 0;
    uint64_t directWork = 0;

    for (const PMXMorph& pmx : morphs) {
        MMDMorph* morph = out.AddMorph(pmx.name, KindOf(pmx.morphType));
        const uint64_t list = morph->GetListIndex();
        switch (morph->GetType()) {
            case MorphType::Position: {
                auto& offsets = out.GetPositionMorphs()[list];
                for (const PMXPositionMorph& o : pmx.positionMorph) {
                    if (InRange(o.vertexIndex, vertexCount)) {
                        offsets.push_back({static_cast<uint32_t>(o.vertexIndex),
                                           {o.position.x, o.position.y, -o.position.z}});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                break;
            }
            case MorphType::UV: {
                auto& offsets = out.GetUVMorphs()[list];
                for (const PMXUVMorph& o : pmx.uvMorph) {
                    if (InRange(o.vertexIndex, vertexCount)) {
                        offsets.push_back({static_cast<uint32_t>(o.vertexIndex), o.uv});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                break;
            }
            case MorphType::Bone: {
                auto& offsets = out.GetBoneMorphs()[list];
                for (const PMXBoneMorph& o : pmx.boneMorph) {
                    if (PMXNode* node = nodes.GetNode(o.boneIndex)) {
                        const Math::quat& q = o.quaternion;
                        offsets.push_back({node, {o.position.x, o.position.y, -o.position.z}, {-q.x, -q.y, q.z, q.w}});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                break;
            }
            case MorphType::Material: {
                auto& offsets = out.GetMaterialMorphs()[list];
                for (const PMXMaterialMorph& o : pmx.materialMorph) {
                    if (o.materialIndex == -1 || InRange(o.materialIndex, materialCount)) {
                        offsets.push_back(o);
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                break;
            }
            case MorphType::Group: {
                auto& offsets = out.GetGroupMorphs()[list];
                for (const PMXGroupMorph& o : pmx.groupMorph) {
                    if (InRange(o.morphIndex, morphs.size())) {
                        offsets.push_back({static_cast<uint32_t>(o.morphIndex), o.weight});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                break;
            }
            case MorphType::None:
                break;
        }
        directWork += 1;
    }

    const size_t cut = out.CountCutGroups();
    const size_t emptied = out.LimitGroupWork(std::max<uint64_t>(uint64_t{1} << 22, directWork * 16));

    MessageLog& log = MessageLog::Instance();
    if (dropped > 0) {
        log.AppendUtf8(std::to_string(dropped) +
                       " morph offset(s) name a vertex, bone, material or morph that does not exist and are ignored.");
    }
    if (cut > 0) {
        log.AppendUtf8(std::to_string(cut) + " group morph(s) contain themselves or nest deeper than " +
                       std::to_string(MMDMorphManager::kMaxGroupDepth) + " levels; the deeper levels are ignored.");
    }
    if (emptied > 0) {
        log.AppendUtf8(std::to_string(emptied) + " group morph(s) would apply too many morphs and are ignored.");
    }
}

}  // namespace Vesma
