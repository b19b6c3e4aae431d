#pragma once
// The vertex-morph planner: what the tracked morph passes over one set of offset buffers wrote,
// and how a pass replaces that with its own offsets (through a plan of its position and UV lists
// while they stay the same). The morph manager notes the lists a pass applies; the tracker writes
// them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/morph/MMDMorph.h"
#include "model/morph/MorphOffsets.h"
#include "model/morph/MorphTargets.h"

namespace Vesma {

class MMDMorphManager;

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
/// Per vertex, Flags() has kMorphPositionFlag and/or kMorphUVFlag (model/skin/VertexSkinning.h)
/// set where the last pass wrote; the other bits are the tracker's own. The buffers must be
/// written by the tracked passes only.
class MorphVertexTracker {
public:
    /// Forgets every pass: `vertexCount` flags of 0, no plan. The buffers must hold zeros.
    void Reset(std::size_t vertexCount);
    std::span<const uint8_t> Flags() const { return m_flags; }

    /// Starts a tracked pass: no lists noted yet.
    void BeginPass() { m_calls.clear(); }
    /// Notes that the running pass applies position or UV list `list` of the manager at `weight`.
    void NoteList(MorphType type, uint32_t list, float weight) { m_calls.push_back({type, list, weight}); }
    /// Ends the running pass over the lists of `morphs`: writes the lists it noted into the
    /// offset buffers of `targets`.
    void FinishPass(const MMDMorphManager& morphs, const MorphTargets& targets);
    /// Zeroes every vertex the plan writes, drops their flags and the plan.
    void ClearPlan(const MMDMorphManager& morphs, const MorphTargets& targets);

private:
    // For calls that differ from the plan's, or came again but have no records yet: applies the
    // calls (through a plan of them when `makePlan`), notes them, and clears what only the old
    // plan wrote.
    void ApplyNewLists(const MMDMorphManager& morphs, const MorphTargets& targets, bool makePlan);
    // Writes the plan's offsets at the calls' weights.
    void RunPlan(const MorphTargets& targets);
    // Zeroes the vertices of the old plan's lists that the running pass doesn't apply, except
    // those it wrote.
    void ClearDroppedLists(const MMDMorphManager& morphs, const MorphTargets& targets);

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

}  // namespace Vesma
