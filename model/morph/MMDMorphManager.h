#pragma once
// The morphs of a model, in file order, with one offset list per morph in the list for its kind.
// Morphs are held through owned pointers, so the pointers motions keep stay valid.
//
// The morph pass writes into buffers the model owns (MorphTargets): per-vertex position and UV
// offsets and per-material multiply/add factor records. Bone morphs change their nodes' translate
// and rotate directly. A pass with a tracker (MorphVertexTracker) notes the position and UV lists
// it applies and leaves writing them to the tracker. Building the morphs from a PMX file is
// PMXMorphSetup's, bounding what groups do is GroupMorphLimit's.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/morph/MMDMorph.h"
#include "model/morph/MorphOffsets.h"
#include "model/morph/MorphTargets.h"
#include "model/morph/MorphVertexTracker.h"

namespace Vesma {

class MMDMorphManager {
public:
    /// Group morphs inside groups act down to this many levels; a group reached deeper does
    /// nothing, so a group that contains itself is applied a bounded number of times.
    static constexpr int kMaxGroupDepth = 8;

    size_t GetMorphCount() const { return m_morphs.size(); }
    /// Index of the first morph whose name equals `name` exactly, or -1.
    int FindMorphIndex(std::u16string_view name) const;
    /// The morph at `index`, or null when the index is out of range.
    MMDMorph* GetMorph(int64_t index) const {
        return index >= 0 && static_cast<uint64_t>(index) < m_morphs.size() ? m_morphs[index].get() : nullptr;
    }
    const std::vector<std::unique_ptr<MMDMorph>>& GetMorphs() const { return m_morphs; }

    /// Appends a morph of weight 0 with an empty offset list of its kind (none for None).
    MMDMorph* AddMorph(std::u16string name, MorphType type);
    void Clear();

    /// The offset lists, one per morph of the kind, indexed by the morph's list index. Position
    /// and UV lists change only through SetPositionOffsets / SetUVOffsets, which note the
    /// highest vertex each list names.
    const std::vector<std::vector<PositionMorphOffset>>& GetPositionMorphs() const { return m_positionMorphs; }
    const std::vector<std::vector<UVMorphOffset>>& GetUVMorphs() const { return m_uvMorphs; }
    void SetPositionOffsets(uint64_t list, std::vector<PositionMorphOffset> offsets);
    void SetUVOffsets(uint64_t list, std::vector<UVMorphOffset> offsets);
    std::vector<std::vector<BoneMorphOffset>>& GetBoneMorphs() { return m_boneMorphs; }
    const std::vector<std::vector<BoneMorphOffset>>& GetBoneMorphs() const { return m_boneMorphs; }
    std::vector<std::vector<MaterialMorphOffset>>& GetMaterialMorphs() { return m_materialMorphs; }
    const std::vector<std::vector<MaterialMorphOffset>>& GetMaterialMorphs() const { return m_materialMorphs; }
    std::vector<std::vector<GroupMorphOffset>>& GetGroupMorphs() { return m_groupMorphs; }
    const std::vector<std::vector<GroupMorphOffset>>& GetGroupMorphs() const { return m_groupMorphs; }

    /// Per position / UV list: one past the highest vertex it names (0 when empty), so a pass
    /// checks a whole list against the buffers at once.
    const std::vector<uint32_t>& GetPositionVertexEnds() const { return m_positionVertexEnd; }
    const std::vector<uint32_t>& GetUVVertexEnds() const { return m_uvVertexEnd; }
    /// Changes whenever a position or UV list may have changed, so trackers know their plans stale.
    uint64_t GetGeneration() const { return m_generation; }

    /// Applies one morph at `weight` (a group applies its members at weight x member weight); with
    /// a tracker this is a tracked pass of its own.
    void ApplyMorph(const MMDMorph& morph, float weight, const MorphTargets& targets) const;
    /// Applies every morph at its own weight, in list order. A morph that is also a group member
    /// acts once for itself and once more through each group. With a tracker this is one tracked
    /// pass: afterwards the position and UV offsets hold this pass's sums and zero elsewhere.
    void ApplyMorphs(const MorphTargets& targets) const;

    /// Zeroes the offsets and flags of every vertex the last tracked pass wrote; the tracker drops
    /// its plan. Nothing without a tracker.
    void ClearAppliedMorphs(const MorphTargets& targets) const;

    /// Base weights := weights.
    void SaveBaseAnimation();
    /// Base weights := 0.
    void ClearBaseAnimation();

private:
    void Apply(const MMDMorph& morph, float weight, const MorphTargets& targets, int depth) const;

    std::vector<std::unique_ptr<MMDMorph>> m_morphs;
    std::vector<std::vector<PositionMorphOffset>> m_positionMorphs;
    std::vector<std::vector<UVMorphOffset>> m_uvMorphs;
    std::vector<std::vector<BoneMorphOffset>> m_boneMorphs;
    std::vector<std::vector<MaterialMorphOffset>> m_materialMorphs;
    std::vector<std::vector<GroupMorphOffset>> m_groupMorphs;
    std::vector<uint32_t> m_positionVertexEnd;  // see GetPositionVertexEnds
    std::vector<uint32_t> m_uvVertexEnd;
    uint64_t m_generation = 1;  // see GetGeneration
};

}  // namespace Vesma
