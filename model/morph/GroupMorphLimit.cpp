#include "model/morph/GroupMorphLimit.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "model/morph/MMDMorphManager.h"

namespace Vesma {

namespace {

constexpr int kMaxGroupDepth = MMDMorphManager::kMaxGroupDepth;

// Offsets one morph that is no group touches; one for a morph without any.
uint64_t LeafCost(const MMDMorphManager& morphs, const MMDMorph& morph) {
    const uint64_t list = morph.GetListIndex();
    const auto sizeOf = [&](const auto& lists) -> uint64_t {
        return list < lists.size() ? std::max<uint64_t>(lists[list].size(), 1) : 1;
    };
    switch (morph.GetType()) {
        case MorphType::Position: return sizeOf(morphs.GetPositionMorphs());
        case MorphType::UV: return sizeOf(morphs.GetUVMorphs());
        case MorphType::Bone: return sizeOf(morphs.GetBoneMorphs());
        case MorphType::Material: return sizeOf(morphs.GetMaterialMorphs());
        default: return 1;
    }
}

// cost[d][g]: offsets touched by applying group list g at depth d. Layer by layer from the
// deepest: a group at kMaxGroupDepth costs its own call only; above it, a group costs one plus its
// members at the next depth. Sums saturate: hostile nesting makes the exact counts astronomically
// large, and only their size matters.
std::vector<std::vector<uint64_t>> GroupCosts(const MMDMorphManager& morphs) {
    const auto& groupLists = morphs.GetGroupMorphs();
    const size_t groups = groupLists.size();
    std::vector<std::vector<uint64_t>> cost(kMaxGroupDepth + 1, std::vector<uint64_t>(groups, 1));
    constexpr uint64_t kSaturated = uint64_t{1} << 62;
    for (int d = kMaxGroupDepth - 1; d >= 0; --d) {
        for (size_t g = 0; g < groups; ++g) {
            uint64_t sum = 1;
            for (const GroupMorphOffset& o : groupLists[g]) {
                const MMDMorph* member = morphs.GetMorph(o.morph);
                if (!member) {
                    continue;
                }
                const uint64_t c = member->GetType() == MorphType::Group && member->GetListIndex() < groups
                                       ? cost[d + 1][member->GetListIndex()]
                                       : LeafCost(morphs, *member);
                sum = std::min(sum + c, kSaturated);
            }
            cost[d][g] = sum;
        }
    }
    return cost;
}

}  // namespace

size_t LimitGroupWork(MMDMorphManager& morphs, uint64_t budget) {
    auto& groupLists = morphs.GetGroupMorphs();
    size_t emptied = 0;
    // Each round empties the most expensive groups until the estimate fits. The estimate counts a
    // group's members even when they were emptied in the same round, so it only ever overstates;
    // the next round recomputes it exactly.
    for (;;) {
        const std::vector<std::vector<uint64_t>> cost = GroupCosts(morphs);
        uint64_t total = 0;
        for (const auto& morph : morphs.GetMorphs()) {
            const bool group = morph->GetType() == MorphType::Group && morph->GetListIndex() < groupLists.size();
            total += group ? cost[0][morph->GetListIndex()] : LeafCost(morphs, *morph);
            total = std::min(total, uint64_t{1} << 62);
        }
        if (total <= budget) {
            return emptied;
        }
        std::vector<size_t> order(groupLists.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return cost[0][a] > cost[0][b]; });
        const size_t before = emptied;
        for (size_t g : order) {
            if (total <= budget) {
                break;
            }
            if (!groupLists[g].empty()) {
                total -= std::min(total, cost[0][g] - 1);
                groupLists[g].clear();
                ++emptied;
            }
        }
        if (emptied == before) {
            return emptied;  // the morphs alone exceed the budget; groups can't help
        }
    }
}

size_t CountCutGroups(const MMDMorphManager& morphs) {
    const auto& groupLists = morphs.GetGroupMorphs();
    const size_t groups = groupLists.size();
    std::vector<uint8_t> deeper(groups);
    for (size_t g = 0; g < groups; ++g) {
        deeper[g] = groupLists[g].empty() ? 0 : 1;  // reached at kMaxGroupDepth, it loses its members
    }
    for (int d = kMaxGroupDepth - 1; d >= 0; --d) {
        std::vector<uint8_t> current(groups, 0);
        for (size_t g = 0; g < groups; ++g) {
            for (const GroupMorphOffset& o : groupLists[g]) {
                const MMDMorph* member = morphs.GetMorph(o.morph);
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

}  // namespace Vesma
