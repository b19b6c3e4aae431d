#pragma once
// The morphs of a model, in file order, with one offset list per morph in the list for its kind.
// Morphs are held through owned pointers, so the pointers motions keep stay valid.
//
// The morph pass writes into buffers the model owns (MorphTargets): per-vertex position and UV
// offsets and per-material multiply/add factor records. Bone morphs change their nodes' translate
// and rotate directly.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Math.h"
#include "model/MMDMorph.h"
#include "model/MaterialMorph.h"
#include "model/PMXFile.h"

namespace Vesma {

class MMDNode;
class MMDNodeManager;

struct PositionMorphOffset {
    uint32_t vertex = 0;
    Math::vec3 offset;  // model space
};

struct UVMorphOffset {
    uint32_t vertex = 0;
    Math::vec4 offset;
};

struct BoneMorphOffset {
    MMDNode* node = nullptr;
    Math::vec3 translate;  // model space
    Math::quat rotate;     // model space
};

/// As in the file; a material index of -1 means every material.
using MaterialMorphOffset = PMXMaterialMorph;

struct GroupMorphOffset {
    uint32_t morph = 0;  // index into the manager's morph list
    float weight = 0.0f;
};

/// One position or UV morph a morph pass applied (its kind and list index).
struct AppliedMorph {
    MorphType type = MorphType::None;
    uint32_t list = 0;
};

/// Records what a morph pass wrote, so that the next frame clears only that and skinning reads
/// offsets only where there are some: every vertex written gets kMorphPositionFlag and/or
/// kMorphUVFlag (model/VertexSkinning.h) in `flags`, and every position or UV morph applied is
/// listed in `applied` (once per application).
struct MorphVertexTracker {
    std::span<uint8_t> flags;  // one per vertex, 0 before the pass
    std::vector<AppliedMorph>* applied = nullptr;
};

/// Where the morph pass writes. The buffers belong to the model; offsets that fall outside them
/// are ignored.
struct MorphTargets {
    std::span<Math::vec3> positionOffsets;  // one per vertex
    std::span<Math::vec4> uvOffsets;        // one per vertex
    std::span<MaterialMorphFactors> materialMul;  // one per material
    std::span<MaterialMorphFactors> materialAdd;  // one per material
    /// Optional: notes every vertex whose position or UV offset the pass writes.
    const MorphVertexTracker* tracker = nullptr;
};

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

    /// The offset lists, one per morph of the kind, indexed by the morph's list index.
    std::vector<std::vector<PositionMorphOffset>>& GetPositionMorphs() { return m_positionMorphs; }
    std::vector<std::vector<UVMorphOffset>>& GetUVMorphs() { return m_uvMorphs; }
    std::vector<std::vector<BoneMorphOffset>>& GetBoneMorphs() { return m_boneMorphs; }
    std::vector<std::vector<MaterialMorphOffset>>& GetMaterialMorphs() { return m_materialMorphs; }
    std::vector<std::vector<GroupMorphOffset>>& GetGroupMorphs() { return m_groupMorphs; }

    /// Applies one morph at `weight` (a group applies its members at weight x member weight).
    void ApplyMorph(const MMDMorph& morph, float weight, const MorphTargets& targets) const;
    /// Applies every morph at its own weight, in list order. A morph that is also a group member
    /// acts once for itself and once more through each group.
    void ApplyMorphs(const MorphTargets& targets) const;

    /// Undoes the offsets of every morph `targets.tracker` lists: their vertices' offsets and
    /// flags back to 0, the list emptied. Nothing without a tracker.
    void ClearAppliedMorphs(const MorphTargets& targets) const;

    /// Base weights := weights.
    void SaveBaseAnimation();
    /// Base weights := 0.
    void ClearBaseAnimation();

    /// Bounds the work groups can cause: with groups nested up to kMaxGroupDepth, applying every
    /// morph once may touch at most `budget` offsets (a morph without offsets counts one). Groups
    /// are emptied, most expensive first, until the pass fits. Returns how many were emptied.
    size_t LimitGroupWork(uint64_t budget);
    /// How many non-empty groups reach a group at kMaxGroupDepth (they nest too deeply or contain
    /// themselves), so part of them is cut off.
    size_t CountCutGroups() const;

private:
    void Apply(const MMDMorph& morph, float weight, const MorphTargets& targets, int depth) const;
    // cost[d][g]: offsets touched by applying group list g at depth d, saturating.
    std::vector<std::vector<uint64_t>> GroupCosts() const;
    uint64_t LeafCost(const MMDMorph& morph) const;

    std::vector<std::unique_ptr<MMDMorph>> m_morphs;
    std::vector<std::vector<PositionMorphOffset>> m_positionMorphs;
    std::vector<std::vector<UVMorphOffset>> m_uvMorphs;
    std::vector<std::vector<BoneMorphOffset>> m_boneMorphs;
    std::vector<std::vector<MaterialMorphOffset>> m_materialMorphs;
    std::vector<std::vector<GroupMorphOffset>> m_groupMorphs;
};

/// Builds the morphs of a model from its PMX morphs: kinds mapped from the PMX types, offsets
/// converted to model space (positions and bone translations with z negated, bone rotations
/// mirrored to (-x, -y, z, w)), every weight 0. Offsets whose vertex, bone, material or morph
/// index doesn't exist (-1 is valid only as "every material") are dropped, and group work is
/// bounded (LimitGroupWork, to 16 times the direct offsets, at least 2^22). One message in
/// MessageLog reports each kind of fault.
void SetupPMXMorphs(std::span<const PMXMorph> morphs, const MMDNodeManager& nodes, size_t vertexCount,
                    size_t materialCount, MMDMorphManager& out);

}  // namespace Vesma
