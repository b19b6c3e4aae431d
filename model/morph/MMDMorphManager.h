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
#include "model/morph/MMDMorph.h"
#include "model/morph/MaterialMorph.h"
#include "model/io/PMXFile.h"

namespace Vesma {

class MMDMorphManager;
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

/// What the tracked morph passes over one set of offset buffers wrote, owned with the buffers.
///
/// A tracked pass replaces the previous pass's offsets instead of adding to them, without clearing
/// the buffers as a whole. It first notes which position and UV lists it applies, in order, and
/// at what weights. When the lists differ from the last pass's, it applies them, a vertex's first
/// write overwriting, and zeroes the vertices of the lists it no longer applies that it didn't
/// write. It does so through a plan of the lists (every offset it writes, per list split into the
/// first writes of their vertex in the pass, which overwrite, and the later ones, which add) when
/// the last lists came in more than one pass, else directly, making the plan when the same lists
/// come again. While the lists stay, the plan runs with the new weights and touches nothing
/// else. A planned pass whose weights equal the last one's writes nothing.
///
/// Per vertex, Flags() has kMorphPositionFlag and/or kMorphUVFlag (model/VertexSkinning.h) set
/// where the last pass wrote; the other bits are the tracker's own. The buffers must be written
/// by the tracked passes only.
class MorphVertexTracker {
public:
    /// Forgets every pass: `vertexCount` flags of 0, no plan. The buffers must hold zeros.
    void Reset(std::size_t vertexCount);
    std::span<const uint8_t> Flags() const { return m_flags; }

private:
    friend class MMDMorphManager;
    // Per vertex beside the public flags: the parity of the plan-making pass that last wrote the
    // position (kPositionParity) or the UV (kUVParity). A flagged vertex whose parity is the
    // running pass's was written by it.
    static constexpr uint8_t kPositionParity = 4;
    static constexpr uint8_t kUVParity = 8;

    struct Call {
        MorphType type = MorphType::None;
        uint32_t list = 0;
        float weight = 0.0f;
    };
    // One call of the plan owns records [begin, end) of its kind, one per offset of its list:
    // [begin, firstEnd) are first writes in list order, [laterBegin, end) later writes in reverse
    // list order; offsets outside the buffers leave the gap between.
    struct PlannedCall {
        Call call;
        uint32_t begin = 0;
        uint32_t firstEnd = 0;
        uint32_t laterBegin = 0;
        uint32_t end = 0;
    };

    std::vector<uint8_t> m_flags;
    std::vector<Call> m_calls;  // the running pass's position and UV calls, in order
    std::vector<PlannedCall> m_plan;
    std::vector<PlannedCall> m_oldPlan;  // scratch while a new plan is made
    std::vector<PositionMorphOffset> m_positionRecords;  // only ever grow
    std::vector<UVMorphOffset> m_uvRecords;
    std::vector<uint8_t> m_positionInPass;  // per list, scratch: applied by the running pass
    std::vector<uint8_t> m_uvInPass;
    bool m_oddPass = false;
    // Whether m_plan has its records; a pass that applies new lists directly makes none.
    bool m_planReady = false;
    // Whether the lists of m_plan came in more than one pass in a row.
    bool m_listsRepeated = false;
    // What the plan was made for: the morphs (and their generation of offset lists) and how many
    // vertices of each kind could be written.
    const MMDMorphManager* m_owner = nullptr;
    uint64_t m_generation = 0;
    std::size_t m_positionLimit = 0;
    std::size_t m_uvLimit = 0;
};

/// Where the morph pass writes. The buffers belong to the model; offsets that fall outside them
/// are ignored.
struct MorphTargets {
    std::span<Math::vec3> positionOffsets;  // one per vertex
    std::span<Math::vec4> uvOffsets;        // one per vertex
    std::span<MaterialMorphFactors> materialMul;  // one per material
    std::span<MaterialMorphFactors> materialAdd;  // one per material
    /// Optional. Without it a pass adds onto whatever the offset buffers hold; with it the pass
    /// replaces what the previous tracked pass wrote (see MorphVertexTracker).
    MorphVertexTracker* tracker = nullptr;
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

    /// The offset lists, one per morph of the kind, indexed by the morph's list index. Position
    /// and UV lists change only through SetPositionOffsets / SetUVOffsets, which note the
    /// highest vertex each list names.
    const std::vector<std::vector<PositionMorphOffset>>& GetPositionMorphs() const { return m_positionMorphs; }
    const std::vector<std::vector<UVMorphOffset>>& GetUVMorphs() const { return m_uvMorphs; }
    void SetPositionOffsets(uint64_t list, std::vector<PositionMorphOffset> offsets);
    void SetUVOffsets(uint64_t list, std::vector<UVMorphOffset> offsets);
    std::vector<std::vector<BoneMorphOffset>>& GetBoneMorphs() { return m_boneMorphs; }
    std::vector<std::vector<MaterialMorphOffset>>& GetMaterialMorphs() { return m_materialMorphs; }
    std::vector<std::vector<GroupMorphOffset>>& GetGroupMorphs() { return m_groupMorphs; }

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

    /// Bounds the work groups can cause: with groups nested up to kMaxGroupDepth, applying every
    /// morph once may touch at most `budget` offsets (a morph without offsets counts one). Groups
    /// are emptied, most expensive first, until the pass fits. Returns how many were emptied.
    size_t LimitGroupWork(uint64_t budget);
    /// How many non-empty groups reach a group at kMaxGroupDepth (they nest too deeply or contain
    /// themselves), so part of them is cut off.
    size_t CountCutGroups() const;

private:
    void Apply(const MMDMorph& morph, float weight, const MorphTargets& targets, int depth) const;
    // Writes the calls a tracked pass noted (see MorphVertexTracker).
    void FinishPass(const MorphTargets& targets) const;
    // For calls that differ from the plan's, or came again but have no records yet: applies the
    // calls (through a plan of them when `makePlan`), notes them, and clears what only the old
    // plan wrote.
    void ApplyNewLists(const MorphTargets& targets, bool makePlan) const;
    // Writes the plan's offsets at the calls' weights.
    void RunPlan(const MorphTargets& targets) const;
    // Zeroes every vertex the tracker's plan writes, drops their flags and the plan.
    void ClearPlan(const MorphTargets& targets) const;
    // Zeroes the vertices of the old plan's lists that the running pass doesn't apply, except
    // those it wrote.
    void ClearDroppedLists(const MorphTargets& targets) const;
    // cost[d][g]: offsets touched by applying group list g at depth d, saturating.
    std::vector<std::vector<uint64_t>> GroupCosts() const;
    uint64_t LeafCost(const MMDMorph& morph) const;

    std::vector<std::unique_ptr<MMDMorph>> m_morphs;
    std::vector<std::vector<PositionMorphOffset>> m_positionMorphs;
    std::vector<std::vector<UVMorphOffset>> m_uvMorphs;
    std::vector<std::vector<BoneMorphOffset>> m_boneMorphs;
    std::vector<std::vector<MaterialMorphOffset>> m_materialMorphs;
    std::vector<std::vector<GroupMorphOffset>> m_groupMorphs;
    // Per position / UV list: one past the highest vertex it names (0 when empty), so a pass
    // checks a whole list against the buffers at once.
    std::vector<uint32_t> m_positionVertexEnd;
    std::vector<uint32_t> m_uvVertexEnd;
    // Changes whenever a position or UV list may have changed, so trackers know their plans stale.
    uint64_t m_generation = 1;
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
