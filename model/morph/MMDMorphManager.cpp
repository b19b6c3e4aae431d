#include "model/morph/MMDMorphManager.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <string>

#include "core/MessageLog.h"
#include "model/skeleton/MMDNodeManager.h"
#include "model/skin/VertexSkinning.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The value with every component kept (`keep` all ones) or +0 (`keep` zero). Bits rather than
// arithmetic, so a stale value can't leak through as a NaN or a negative zero.
inline float Keep(float value, uint32_t keep) { return std::bit_cast<float>(std::bit_cast<uint32_t>(value) & keep); }
inline Math::vec3 Keep(const Math::vec3& v, uint32_t keep) { return {Keep(v.x, keep), Keep(v.y, keep), Keep(v.z, keep)}; }
inline Math::vec4 Keep(const Math::vec4& v, uint32_t keep) {
    return {Keep(v.x, keep), Keep(v.y, keep), Keep(v.z, keep), Keep(v.w, keep)};
}

// Applies one list at weight w without planning it: the first write of a vertex in the pass (its
// kind's bits not `written`) overwrites, the later ones add, and the vertices are marked written.
// Branch-free: which kind a write is varies from offset to offset.
template <class Offset, class Value>
void ApplyList(const std::vector<Offset>& offsets, uint32_t vertexEnd, size_t limit, float w, Value* out,
               uint8_t* flags, uint8_t parity, uint8_t written) {
    const uint8_t mask = static_cast<uint8_t>(written | parity);
    const auto step = [&](const Offset& o) {
        const uint8_t f = flags[o.vertex];
        const uint32_t seen = (f & mask) == written ? 1u : 0u;
        out[o.vertex] = Keep(out[o.vertex], 0u - seen) + o.offset * w;
        flags[o.vertex] = static_cast<uint8_t>((f & ~parity) | written);
    };
    if (vertexEnd <= limit) {
        for (const Offset& o : offsets) step(o);
    } else {
        for (const Offset& o : offsets) {
            if (o.vertex < limit) step(o);
        }
    }
}

// Runs one planned call: first writes start their vertex from zero (0 + x, exactly what adding
// onto a cleared offset gives), later ones add, in list order. The plan holds only vertices in
// range.
template <class Record, class Value>
void RunPlannedCall(const Record* records, uint32_t begin, uint32_t firstEnd, uint32_t laterBegin, uint32_t end,
                    float w, Value* out) {
    const Value zero{};
#pragma GCC unroll 2
    for (uint32_t i = begin; i < firstEnd; ++i) out[records[i].vertex] = zero + records[i].offset * w;
    const Record* const last = records + end - 1;
#pragma GCC unroll 2
    for (uint32_t n = 0; n < end - laterBegin; ++n) {
        const Record& r = *(last - n);
        out[r.vertex] = out[r.vertex] + r.offset * w;
    }
}

#if defined(__SSE2__)
// The same for position records, a record's vertex and offset read as one four-lane load: lane 0
// (the vertex's bits) is cleared before the product, so it can't stall on a denormal, and the
// offset lanes give what the scalar form gives.
template <>
void RunPlannedCall(const PositionMorphOffset* records, uint32_t begin, uint32_t firstEnd, uint32_t laterBegin,
                    uint32_t end, float w, Math::vec3* out) {
    static_assert(sizeof(PositionMorphOffset) == 16 && offsetof(PositionMorphOffset, offset) == 4);
    const __m128 weight = _mm_set1_ps(w);
    const __m128 offsetLanes = _mm_castsi128_ps(_mm_setr_epi32(0, -1, -1, -1));
    const auto product = [&](const PositionMorphOffset& r) {
        return _mm_mul_ps(_mm_and_ps(_mm_loadu_ps(reinterpret_cast<const float*>(&r)), offsetLanes), weight);
    };
    // Lanes 1 to 3 hold x, y, z.
    const auto store = [](Math::vec3& v, __m128 lanes) {
        _mm_storeh_pi(reinterpret_cast<__m64*>(&v.y), lanes);
        _mm_store_ss(&v.x, _mm_shuffle_ps(lanes, lanes, _MM_SHUFFLE(1, 1, 1, 1)));
    };
    const __m128 zero = _mm_setzero_ps();
#pragma GCC unroll 2
    for (uint32_t i = begin; i < firstEnd; ++i) store(out[records[i].vertex], _mm_add_ps(zero, product(records[i])));
    const PositionMorphOffset* const last = records + end - 1;
#pragma GCC unroll 2
    for (uint32_t n = 0; n < end - laterBegin; ++n) {
        const PositionMorphOffset& r = *(last - n);
        Math::vec3& v = out[r.vertex];
        __m128 current = _mm_loadh_pi(_mm_load_ss(&v.x), reinterpret_cast<const __m64*>(&v.y));  // x . y z
        current = _mm_shuffle_ps(current, current, _MM_SHUFFLE(3, 2, 0, 0));                     // x x y z
        store(v, _mm_add_ps(current, product(r)));
    }
}
#endif

// Plans one list into records [begin, begin + list size): the first writes of their vertex in the
// pass (its kind's bits not `written`) from the front in list order, the later ones from the back
// in reverse order, and marks the vertices written. Returns the first writes' end and the later
// ones' start. Integer work only, and branch-free: which kind a write is varies from offset to
// offset. (Each step stores the offset at both ends; the slot the counts don't claim is free, or
// is the same slot when the list is done.)
template <class Offset>
std::pair<uint32_t, uint32_t> PlanList(const std::vector<Offset>& offsets, uint32_t vertexEnd, size_t limit,
                                       uint8_t* flags, uint8_t parity, uint8_t written, Offset* records,
                                       uint32_t begin) {
    const uint32_t end = begin + static_cast<uint32_t>(offsets.size());
    Offset* const front = records + begin;
    Offset* const back = records + end - 1;
    uint32_t first = 0;
    uint32_t later = 0;
    const uint8_t mask = static_cast<uint8_t>(written | parity);
    const auto step = [&](const Offset& o) {
        const uint8_t f = flags[o.vertex];
        const uint32_t seen = (f & mask) == written ? 1u : 0u;
        flags[o.vertex] = static_cast<uint8_t>((f & ~parity) | written);
        front[first] = o;
        *(back - later) = o;
        first += 1 - seen;
        later += seen;
    };
    if (vertexEnd <= limit) {
        for (const Offset& o : offsets) step(o);
    } else {
        for (const Offset& o : offsets) {
            if (o.vertex < limit) step(o);
        }
    }
    return {begin + first, end - later};
}

#if defined(__SSE2__)
// The same for position offsets, whose records are 16 bytes: one load and two stores per record,
// and the ends move by the record size times the kind of write.
template <>
std::pair<uint32_t, uint32_t> PlanList(const std::vector<PositionMorphOffset>& offsets, uint32_t vertexEnd,
                                       size_t limit, uint8_t* flags, uint8_t parity, uint8_t written,
                                       PositionMorphOffset* records, uint32_t begin) {
    static_assert(sizeof(PositionMorphOffset) == 16);
    char* front = reinterpret_cast<char*>(records + begin);
    char* back = reinterpret_cast<char*>(records + begin + offsets.size()) - 16;
    const uint32_t mask = written | parity;
    const uint32_t keep = static_cast<uint8_t>(~parity);
    const auto step = [&](const PositionMorphOffset& o) {
        const __m128i record = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&o));
        const uint32_t vertex = o.vertex;
        const uint32_t f = flags[vertex];
        const size_t seen = ((f & mask) == written ? size_t{1} : size_t{0}) << 4;
        flags[vertex] = static_cast<uint8_t>((f & keep) | written);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(front), record);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(back), record);
        front += 16 - seen;
        back -= seen;
    };
    if (vertexEnd <= limit) {
        for (const PositionMorphOffset& o : offsets) step(o);
    } else {
        for (const PositionMorphOffset& o : offsets) {
            if (o.vertex < limit) step(o);
        }
    }
    const char* base = reinterpret_cast<const char*>(records);
    return {static_cast<uint32_t>((front - base) / 16), static_cast<uint32_t>((back + 16 - base) / 16)};
}
#endif

// Zeroes the vertices of one list whose kind bits aren't `written` and drops their flag, in range
// of the buffers.
template <class Offset, class Value>
void ClearList(const std::vector<Offset>& offsets, std::span<Value> out, std::span<uint8_t> flags, uint8_t flag,
               uint8_t parity, uint8_t written) {
    const size_t limit = std::min(out.size(), flags.size());
    const uint8_t mask = static_cast<uint8_t>(flag | parity);
    for (const Offset& o : offsets) {
        if (o.vertex >= limit) continue;
        const uint8_t f = flags[o.vertex];
        if ((f & mask) != written) {
            out[o.vertex] = Value();
            flags[o.vertex] = static_cast<uint8_t>(f & ~flag);
        }
    }
}

// Zeroes the vertices of one planned call's records, [begin, firstEnd) and [laterBegin, end), and
// drops their flag (in range of buffers that may have shrunk since the plan was made).
template <class Record, class Value>
void ClearRecords(const std::vector<Record>& records, uint32_t begin, uint32_t firstEnd, uint32_t laterBegin,
                  uint32_t end, std::span<Value> out, std::span<uint8_t> flags, uint8_t flag) {
    const auto clear = [&](uint32_t i) {
        const uint32_t v = records[i].vertex;
        if (v < out.size()) out[v] = Value();
        if (v < flags.size()) flags[v] = static_cast<uint8_t>(flags[v] & ~flag);
    };
    for (uint32_t i = begin; i < firstEnd; ++i) clear(i);
    for (uint32_t i = laterBegin; i < end; ++i) clear(i);
}

// Zeroes every vertex with `flag` and drops the flag.
template <class Value>
void ClearFlagged(std::span<Value> out, std::span<uint8_t> flags, uint8_t flag) {
    const size_t limit = std::min(out.size(), flags.size());
    for (size_t v = 0; v < limit; ++v) {
        if (flags[v] & flag) {
            out[v] = Value();
            flags[v] = static_cast<uint8_t>(flags[v] & ~flag);
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

bool SameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

}  // namespace

void MorphVertexTracker::Reset(std::size_t vertexCount) {
    m_flags.assign(vertexCount, 0);
    m_calls.clear();
    m_plan.clear();
    m_oldPlan.clear();
    m_planReady = false;
    m_listsRepeated = false;
    m_oddPass = false;
    m_owner = nullptr;
    m_generation = 0;
    m_positionLimit = 0;
    m_uvLimit = 0;
}

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
    if (targets.tracker) targets.tracker->m_calls.clear();
    Apply(morph, weight, targets, 0);
    if (targets.tracker) FinishPass(targets);
}

void MMDMorphManager::ApplyMorphs(const MorphTargets& targets) const {
    if (targets.tracker) targets.tracker->m_calls.clear();
    for (const auto& morph : m_morphs) {
        const float w = morph->GetWeight();
        // Most morphs rest at 0, where position and UV morphs write nothing.
        if (w == 0.0f && (morph->GetType() == MorphType::Position || morph->GetType() == MorphType::UV)) continue;
        Apply(*morph, w, targets, 0);
    }
    if (targets.tracker) FinishPass(targets);
}

void MMDMorphManager::ClearAppliedMorphs(const MorphTargets& targets) const {
    if (targets.tracker) ClearPlan(targets);
}

void MMDMorphManager::ClearPlan(const MorphTargets& targets) const {
    MorphVertexTracker& tracker = *targets.tracker;
    const std::span<uint8_t> flags(tracker.m_flags);
    if (!tracker.m_planReady) {
        if (tracker.m_owner == this && tracker.m_generation == m_generation) {
            // The lists are still what the last pass applied.
            for (const MorphVertexTracker::PlannedCall& p : tracker.m_plan) {
                const uint32_t list = p.call.list;
                if (p.call.type == MorphType::Position && list < m_positionMorphs.size()) {
                    ClearList(m_positionMorphs[list], targets.positionOffsets, flags, kMorphPositionFlag, 0, 0xFF);
                } else if (p.call.type == MorphType::UV && list < m_uvMorphs.size()) {
                    ClearList(m_uvMorphs[list], targets.uvOffsets, flags, kMorphUVFlag, 0, 0xFF);
                }
            }
        } else {
            // Nothing tells which vertices but their flags.
            ClearFlagged(targets.positionOffsets, flags, kMorphPositionFlag);
            ClearFlagged(targets.uvOffsets, flags, kMorphUVFlag);
        }
        tracker.m_plan.clear();
        tracker.m_owner = nullptr;
        return;
    }
    // By the plan's own records: the lists may have changed since it was made.
    for (const MorphVertexTracker::PlannedCall& p : tracker.m_plan) {
        if (p.call.type == MorphType::Position) {
            ClearRecords(tracker.m_positionRecords, p.begin, p.firstEnd, p.laterBegin, p.end, targets.positionOffsets,
                         flags, kMorphPositionFlag);
        } else {
            ClearRecords(tracker.m_uvRecords, p.begin, p.firstEnd, p.laterBegin, p.end, targets.uvOffsets, flags,
                         kMorphUVFlag);
        }
    }
    tracker.m_plan.clear();
    tracker.m_owner = nullptr;
}

void MMDMorphManager::ClearDroppedLists(const MorphTargets& targets) const {
    MorphVertexTracker& tracker = *targets.tracker;
    const std::span<uint8_t> flags(tracker.m_flags);
    constexpr uint8_t kPositionParity = MorphVertexTracker::kPositionParity;
    constexpr uint8_t kUVParity = MorphVertexTracker::kUVParity;
    const uint8_t positionWritten = kMorphPositionFlag | (tracker.m_oddPass ? kPositionParity : 0);
    const uint8_t uvWritten = kMorphUVFlag | (tracker.m_oddPass ? kUVParity : 0);
    // A list the running pass applies as well held only vertices it wrote again.
    for (const MorphVertexTracker::PlannedCall& planned : tracker.m_oldPlan) {
        const uint32_t list = planned.call.list;
        if (planned.call.type == MorphType::Position) {
            if (list >= m_positionMorphs.size() || tracker.m_positionInPass[list]) continue;
            ClearList(m_positionMorphs[list], targets.positionOffsets, flags, kMorphPositionFlag, kPositionParity,
                      positionWritten);
        } else {
            if (list >= m_uvMorphs.size() || tracker.m_uvInPass[list]) continue;
            ClearList(m_uvMorphs[list], targets.uvOffsets, flags, kMorphUVFlag, kUVParity, uvWritten);
        }
    }
}

void MMDMorphManager::ApplyNewLists(const MorphTargets& targets, bool makePlan) const {
    MorphVertexTracker& tracker = *targets.tracker;
    const size_t positionLimit = std::min(targets.positionOffsets.size(), tracker.m_flags.size());
    const size_t uvLimit = std::min(targets.uvOffsets.size(), tracker.m_flags.size());
    if (tracker.m_owner != this || tracker.m_generation != m_generation || tracker.m_positionLimit != positionLimit ||
        tracker.m_uvLimit != uvLimit) {
        // The old plan's lists may have changed: clear by them now, while they are what it wrote.
        ClearPlan(targets);
    }
    tracker.m_owner = this;
    tracker.m_generation = m_generation;
    tracker.m_positionLimit = positionLimit;
    tracker.m_uvLimit = uvLimit;
    tracker.m_oddPass = !tracker.m_oddPass;
    tracker.m_oldPlan.swap(tracker.m_plan);
    tracker.m_plan.clear();

    size_t positionCount = 0;
    size_t uvCount = 0;
    tracker.m_positionInPass.assign(m_positionMorphs.size(), 0);
    tracker.m_uvInPass.assign(m_uvMorphs.size(), 0);
    for (const MorphVertexTracker::Call& call : tracker.m_calls) {
        if (call.type == MorphType::Position) {
            positionCount += m_positionMorphs[call.list].size();
            tracker.m_positionInPass[call.list] = 1;
        } else {
            uvCount += m_uvMorphs[call.list].size();
            tracker.m_uvInPass[call.list] = 1;
        }
    }
    if (makePlan && tracker.m_positionRecords.size() < positionCount) tracker.m_positionRecords.resize(positionCount);
    if (makePlan && tracker.m_uvRecords.size() < uvCount) tracker.m_uvRecords.resize(uvCount);
    tracker.m_planReady = makePlan;

    uint8_t* flags = tracker.m_flags.data();
    constexpr uint8_t kPositionParity = MorphVertexTracker::kPositionParity;
    constexpr uint8_t kUVParity = MorphVertexTracker::kUVParity;
    const uint8_t positionWritten = kMorphPositionFlag | (tracker.m_oddPass ? kPositionParity : 0);
    const uint8_t uvWritten = kMorphUVFlag | (tracker.m_oddPass ? kUVParity : 0);
    uint32_t positionAt = 0;
    uint32_t uvAt = 0;
    for (const MorphVertexTracker::Call& call : tracker.m_calls) {
        MorphVertexTracker::PlannedCall planned{call, 0, 0, 0, 0};
        if (!makePlan) {
            if (call.type == MorphType::Position) {
                ApplyList(m_positionMorphs[call.list], m_positionVertexEnd[call.list], positionLimit, call.weight,
                          targets.positionOffsets.data(), flags, kPositionParity, positionWritten);
            } else {
                ApplyList(m_uvMorphs[call.list], m_uvVertexEnd[call.list], uvLimit, call.weight,
                          targets.uvOffsets.data(), flags, kUVParity, uvWritten);
            }
            tracker.m_plan.push_back(planned);
            continue;
        }
        std::pair<uint32_t, uint32_t> split;
        if (call.type == MorphType::Position) {
            const auto& offsets = m_positionMorphs[call.list];
            split = PlanList(offsets, m_positionVertexEnd[call.list], positionLimit, flags, kPositionParity,
                             positionWritten, tracker.m_positionRecords.data(), positionAt);
            planned.begin = positionAt;
            positionAt += static_cast<uint32_t>(offsets.size());
            planned.end = positionAt;
        } else {
            const auto& offsets = m_uvMorphs[call.list];
            split = PlanList(offsets, m_uvVertexEnd[call.list], uvLimit, flags, kUVParity, uvWritten,
                             tracker.m_uvRecords.data(), uvAt);
            planned.begin = uvAt;
            uvAt += static_cast<uint32_t>(offsets.size());
            planned.end = uvAt;
        }
        planned.firstEnd = split.first;
        planned.laterBegin = split.second;
        tracker.m_plan.push_back(planned);
    }
    if (makePlan) RunPlan(targets);

    ClearDroppedLists(targets);
    tracker.m_oldPlan.clear();
}

void MMDMorphManager::FinishPass(const MorphTargets& targets) const {
    MorphVertexTracker& tracker = *targets.tracker;
    const auto& calls = tracker.m_calls;
    const auto& plan = tracker.m_plan;
    bool samePlan = tracker.m_owner == this && tracker.m_generation == m_generation &&
                    tracker.m_positionLimit == std::min(targets.positionOffsets.size(), tracker.m_flags.size()) &&
                    tracker.m_uvLimit == std::min(targets.uvOffsets.size(), tracker.m_flags.size()) &&
                    plan.size() == calls.size();
    for (size_t i = 0; samePlan && i < calls.size(); ++i) {
        samePlan = plan[i].call.type == calls[i].type && plan[i].call.list == calls[i].list;
    }
    if (!samePlan) {
        // A plan pays once the lists come again. Lists that came again last time likely will
        // again: plan them at once; after lists that lasted one pass, apply these directly.
        ApplyNewLists(targets, tracker.m_listsRepeated);
        tracker.m_listsRepeated = false;
        return;
    }
    tracker.m_listsRepeated = true;
    if (!tracker.m_planReady) {
        ApplyNewLists(targets, true);
        return;
    }
    // Same lists at the same weights: the buffers already hold this pass's sums.
    bool sameWeights = true;
    for (size_t i = 0; sameWeights && i < calls.size(); ++i) sameWeights = SameBits(plan[i].call.weight, calls[i].weight);
    if (!sameWeights) RunPlan(targets);
}

void MMDMorphManager::RunPlan(const MorphTargets& targets) const {
    MorphVertexTracker& tracker = *targets.tracker;
    const auto& calls = tracker.m_calls;
    auto& plan = tracker.m_plan;
    Math::vec3* positions = targets.positionOffsets.data();
    Math::vec4* uvs = targets.uvOffsets.data();
    const PositionMorphOffset* positionRecords = tracker.m_positionRecords.data();
    const UVMorphOffset* uvRecords = tracker.m_uvRecords.data();
    for (size_t i = 0; i < calls.size(); ++i) {
        MorphVertexTracker::PlannedCall& planned = plan[i];
        const float w = calls[i].weight;
        planned.call.weight = w;
        if (planned.call.type == MorphType::Position) {
            RunPlannedCall(positionRecords, planned.begin, planned.firstEnd, planned.laterBegin, planned.end, w, positions);
        } else {
            RunPlannedCall(uvRecords, planned.begin, planned.firstEnd, planned.laterBegin, planned.end, w, uvs);
        }
    }
}

void MMDMorphManager::Apply(const MMDMorph& morph, float w, const MorphTargets& targets, int depth) const {
    const uint64_t list = morph.GetListIndex();
    switch (morph.GetType()) {
        case MorphType::Position:
            if (w == 0.0f || list >= m_positionMorphs.size()) return;
            if (targets.tracker) {
                targets.tracker->m_calls.push_back({MorphType::Position, static_cast<uint32_t>(list), w});
            } else {
                AddList(m_positionMorphs[list], m_positionVertexEnd[list], w, targets.positionOffsets.data(),
                        targets.positionOffsets.size());
            }
            return;
        case MorphType::UV:
            if (w == 0.0f || list >= m_uvMorphs.size()) return;
            if (targets.tracker) {
                targets.tracker->m_calls.push_back({MorphType::UV, static_cast<uint32_t>(list), w});
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
                std::vector<PositionMorphOffset> offsets;
                offsets.reserve(pmx.positionMorph.size());
                for (const PMXPositionMorph& o : pmx.positionMorph) {
                    if (InRange(o.vertexIndex, vertexCount)) {
                        offsets.push_back({static_cast<uint32_t>(o.vertexIndex),
                                           {o.position.x, o.position.y, -o.position.z}});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                out.SetPositionOffsets(list, std::move(offsets));
                break;
            }
            case MorphType::UV: {
                std::vector<UVMorphOffset> offsets;
                offsets.reserve(pmx.uvMorph.size());
                for (const PMXUVMorph& o : pmx.uvMorph) {
                    if (InRange(o.vertexIndex, vertexCount)) {
                        offsets.push_back({static_cast<uint32_t>(o.vertexIndex), o.uv});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                out.SetUVOffsets(list, std::move(offsets));
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
