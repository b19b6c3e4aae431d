#include "model/morph/MorphVertexTracker.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <utility>

#include "model/morph/MMDMorphManager.h"
#include "model/skin/VertexSkinning.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Vesma {

namespace {

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

void MorphVertexTracker::ClearPlan(const MMDMorphManager& morphs, const MorphTargets& targets) {
    const auto& positionLists = morphs.GetPositionMorphs();
    const auto& uvLists = morphs.GetUVMorphs();
    const std::span<uint8_t> flags(m_flags);
    if (!m_planReady) {
        if (m_owner == &morphs && m_generation == morphs.GetGeneration()) {
            // The lists are still what the last pass applied.
            for (const PlannedCall& p : m_plan) {
                const uint32_t list = p.call.list;
                if (p.call.type == MorphType::Position && list < positionLists.size()) {
                    ClearList(positionLists[list], targets.positionOffsets, flags, kMorphPositionFlag, 0, 0xFF);
                } else if (p.call.type == MorphType::UV && list < uvLists.size()) {
                    ClearList(uvLists[list], targets.uvOffsets, flags, kMorphUVFlag, 0, 0xFF);
                }
            }
        } else {
            // Nothing tells which vertices but their flags.
            ClearFlagged(targets.positionOffsets, flags, kMorphPositionFlag);
            ClearFlagged(targets.uvOffsets, flags, kMorphUVFlag);
        }
        m_plan.clear();
        m_owner = nullptr;
        return;
    }
    // By the plan's own records: the lists may have changed since it was made.
    for (const PlannedCall& p : m_plan) {
        if (p.call.type == MorphType::Position) {
            ClearRecords(m_positionRecords, p.begin, p.firstEnd, p.laterBegin, p.end, targets.positionOffsets,
                         flags, kMorphPositionFlag);
        } else {
            ClearRecords(m_uvRecords, p.begin, p.firstEnd, p.laterBegin, p.end, targets.uvOffsets, flags,
                         kMorphUVFlag);
        }
    }
    m_plan.clear();
    m_owner = nullptr;
}

void MorphVertexTracker::ClearDroppedLists(const MMDMorphManager& morphs, const MorphTargets& targets) {
    const auto& positionLists = morphs.GetPositionMorphs();
    const auto& uvLists = morphs.GetUVMorphs();
    const std::span<uint8_t> flags(m_flags);
    const uint8_t positionWritten = kMorphPositionFlag | (m_oddPass ? kPositionParity : 0);
    const uint8_t uvWritten = kMorphUVFlag | (m_oddPass ? kUVParity : 0);
    // A list the running pass applies as well held only vertices it wrote again.
    for (const PlannedCall& planned : m_oldPlan) {
        const uint32_t list = planned.call.list;
        if (planned.call.type == MorphType::Position) {
            if (list >= positionLists.size() || m_positionInPass[list]) continue;
            ClearList(positionLists[list], targets.positionOffsets, flags, kMorphPositionFlag, kPositionParity,
                      positionWritten);
        } else {
            if (list >= uvLists.size() || m_uvInPass[list]) continue;
            ClearList(uvLists[list], targets.uvOffsets, flags, kMorphUVFlag, kUVParity, uvWritten);
        }
    }
}

void MorphVertexTracker::ApplyNewLists(const MMDMorphManager& morphs, const MorphTargets& targets, bool makePlan) {
    const auto& positionLists = morphs.GetPositionMorphs();
    const auto& uvLists = morphs.GetUVMorphs();
    const auto& positionEnds = morphs.GetPositionVertexEnds();
    const auto& uvEnds = morphs.GetUVVertexEnds();
    const size_t positionLimit = std::min(targets.positionOffsets.size(), m_flags.size());
    const size_t uvLimit = std::min(targets.uvOffsets.size(), m_flags.size());
    if (m_owner != &morphs || m_generation != morphs.GetGeneration() || m_positionLimit != positionLimit ||
        m_uvLimit != uvLimit) {
        // The old plan's lists may have changed: clear by them now, while they are what it wrote.
        ClearPlan(morphs, targets);
    }
    m_owner = &morphs;
    m_generation = morphs.GetGeneration();
    m_positionLimit = positionLimit;
    m_uvLimit = uvLimit;
    m_oddPass = !m_oddPass;
    m_oldPlan.swap(m_plan);
    m_plan.clear();

    size_t positionCount = 0;
    size_t uvCount = 0;
    m_positionInPass.assign(positionLists.size(), 0);
    m_uvInPass.assign(uvLists.size(), 0);
    for (const Call& call : m_calls) {
        if (call.type == MorphType::Position) {
            positionCount += positionLists[call.list].size();
            m_positionInPass[call.list] = 1;
        } else {
            uvCount += uvLists[call.list].size();
            m_uvInPass[call.list] = 1;
        }
    }
    if (makePlan && m_positionRecords.size() < positionCount) m_positionRecords.resize(positionCount);
    if (makePlan && m_uvRecords.size() < uvCount) m_uvRecords.resize(uvCount);
    m_planReady = makePlan;

    uint8_t* flags = m_flags.data();
    const uint8_t positionWritten = kMorphPositionFlag | (m_oddPass ? kPositionParity : 0);
    const uint8_t uvWritten = kMorphUVFlag | (m_oddPass ? kUVParity : 0);
    uint32_t positionAt = 0;
    uint32_t uvAt = 0;
    for (const Call& call : m_calls) {
        PlannedCall planned{call, 0, 0, 0, 0};
        if (!makePlan) {
            if (call.type == MorphType::Position) {
                ApplyList(positionLists[call.list], positionEnds[call.list], positionLimit, call.weight,
                          targets.positionOffsets.data(), flags, kPositionParity, positionWritten);
            } else {
                ApplyList(uvLists[call.list], uvEnds[call.list], uvLimit, call.weight,
                          targets.uvOffsets.data(), flags, kUVParity, uvWritten);
            }
            m_plan.push_back(planned);
            continue;
        }
        std::pair<uint32_t, uint32_t> split;
        if (call.type == MorphType::Position) {
            const auto& offsets = positionLists[call.list];
            split = PlanList(offsets, positionEnds[call.list], positionLimit, flags, kPositionParity,
                             positionWritten, m_positionRecords.data(), positionAt);
            planned.begin = positionAt;
            positionAt += static_cast<uint32_t>(offsets.size());
            planned.end = positionAt;
        } else {
            const auto& offsets = uvLists[call.list];
            split = PlanList(offsets, uvEnds[call.list], uvLimit, flags, kUVParity, uvWritten,
                             m_uvRecords.data(), uvAt);
            planned.begin = uvAt;
            uvAt += static_cast<uint32_t>(offsets.size());
            planned.end = uvAt;
        }
        planned.firstEnd = split.first;
        planned.laterBegin = split.second;
        m_plan.push_back(planned);
    }
    if (makePlan) RunPlan(targets);

    ClearDroppedLists(morphs, targets);
    m_oldPlan.clear();
}

void MorphVertexTracker::FinishPass(const MMDMorphManager& morphs, const MorphTargets& targets) {
    const auto& calls = m_calls;
    const auto& plan = m_plan;
    bool samePlan = m_owner == &morphs && m_generation == morphs.GetGeneration() &&
                    m_positionLimit == std::min(targets.positionOffsets.size(), m_flags.size()) &&
                    m_uvLimit == std::min(targets.uvOffsets.size(), m_flags.size()) &&
                    plan.size() == calls.size();
    for (size_t i = 0; samePlan && i < calls.size(); ++i) {
        samePlan = plan[i].call.type == calls[i].type && plan[i].call.list == calls[i].list;
    }
    if (!samePlan) {
        // A plan pays once the lists come again. Lists that came again last time likely will
        // again: plan them at once; after lists that lasted one pass, apply these directly.
        ApplyNewLists(morphs, targets, m_listsRepeated);
        m_listsRepeated = false;
        return;
    }
    m_listsRepeated = true;
    if (!m_planReady) {
        ApplyNewLists(morphs, targets, true);
        return;
    }
    // Same lists at the same weights: the buffers already hold this pass's sums.
    bool sameWeights = true;
    for (size_t i = 0; sameWeights && i < calls.size(); ++i) sameWeights = SameBits(plan[i].call.weight, calls[i].weight);
    if (!sameWeights) RunPlan(targets);
}

void MorphVertexTracker::RunPlan(const MorphTargets& targets) {
    const auto& calls = m_calls;
    auto& plan = m_plan;
    Math::vec3* positions = targets.positionOffsets.data();
    Math::vec4* uvs = targets.uvOffsets.data();
    const PositionMorphOffset* positionRecords = m_positionRecords.data();
    const UVMorphOffset* uvRecords = m_uvRecords.data();
    for (size_t i = 0; i < calls.size(); ++i) {
        PlannedCall& planned = plan[i];
        const float w = calls[i].weight;
        planned.call.weight = w;
        if (planned.call.type == MorphType::Position) {
            RunPlannedCall(positionRecords, planned.begin, planned.firstEnd, planned.laterBegin, planned.end, w, positions);
        } else {
            RunPlannedCall(uvRecords, planned.begin, planned.firstEnd, planned.laterBegin, planned.end, w, uvs);
        }
    }
}

}  // namespace Vesma
