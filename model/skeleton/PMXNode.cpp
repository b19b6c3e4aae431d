#include "model/skeleton/PMXNode.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/MessageLog.h"
#include "model/skeleton/FixedAxis.h"
#include "model/skeleton/MMDNodeManager.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace Vesma {
namespace {

#if defined(__SSE__)
inline __m128 LoadQuat(const Math::quat& q) { return _mm_loadu_ps(reinterpret_cast<const float*>(&q)); }

// The rotation rows of Math::RotationQuaternion(q), lane 3 zero, with the same bits: every entry
// is formed from the same products and sums, four lanes at a time.
inline void RotationRows(__m128 q, __m128& row0, __m128& row1, __m128& row2) {
    const __m128 squares = _mm_mul_ps(q, q);  // xx yy zz .
    const __m128 cross = _mm_mul_ps(_mm_shuffle_ps(q, q, _MM_SHUFFLE(3, 0, 1, 0)),
                                    _mm_shuffle_ps(q, q, _MM_SHUFFLE(3, 2, 2, 1)));  // xy yz xz .
    const __m128 wTerms = _mm_mul_ps(_mm_shuffle_ps(q, q, _MM_SHUFFLE(3, 3, 3, 3)),
                                     _mm_shuffle_ps(q, q, _MM_SHUFFLE(3, 1, 0, 2)));  // wz wx wy .
    // The diagonal's sums, then the off-diagonal ones that add and that subtract the w terms.
    const __m128 diagonal = _mm_add_ps(_mm_shuffle_ps(squares, squares, _MM_SHUFFLE(3, 0, 0, 1)),
                                       _mm_shuffle_ps(squares, squares, _MM_SHUFFLE(3, 1, 2, 2)));  // yy+zz xx+zz xx+yy .
    const __m128 plus = _mm_add_ps(cross, wTerms);  // xy+wz yz+wx xz+wy .
    const __m128 minus = _mm_sub_ps(_mm_shuffle_ps(cross, cross, _MM_SHUFFLE(3, 1, 0, 2)),
                                    _mm_shuffle_ps(wTerms, wTerms, _MM_SHUFFLE(3, 1, 0, 2)));  // xz-wy xy-wz yz-wx .
    const __m128 two = _mm_set1_ps(2.0f);
    const __m128 d = _mm_sub_ps(_mm_set1_ps(1.0f), _mm_mul_ps(two, diagonal));
    const __m128 p = _mm_mul_ps(two, plus);
    const __m128 m = _mm_mul_ps(two, minus);
    // Rows (d0 p0 m0), (m1 d1 p1), (p2 m2 d2): transpose (d, p, m, 0), then turn rows 1 and 2.
    const __m128 zero = _mm_setzero_ps();
    const __m128 dp01 = _mm_unpacklo_ps(d, p);  // d0 p0 d1 p1
    const __m128 m01 = _mm_unpacklo_ps(m, zero);  // m0 0 m1 0
    const __m128 dp23 = _mm_unpackhi_ps(d, p);  // d2 p2 . .
    const __m128 m23 = _mm_unpackhi_ps(m, zero);  // m2 0 . 0
    row0 = _mm_movelh_ps(dp01, m01);
    const __m128 column1 = _mm_movehl_ps(m01, dp01);  // d1 p1 m1 0
    const __m128 column2 = _mm_movelh_ps(dp23, m23);  // d2 p2 m2 0
    row1 = _mm_shuffle_ps(column1, column1, _MM_SHUFFLE(3, 1, 0, 2));
    row2 = _mm_shuffle_ps(column2, column2, _MM_SHUFFLE(3, 0, 2, 1));
}

template <int k>
inline __m128 Broadcast(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(k, k, k, k));
}
#endif

}  // namespace

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

void PMXNode::UpdateLocalsAndGlobals(std::span<PMXNode* const> order) {
#if defined(__SSE__)
    // ComposeLocal and the affine product of UpdateOwnGlobalTransform, kept in registers: the
    // local transform ComposeLocal builds is always affine.
    for (PMXNode* node : order) {
        __m128 r = Math::QuatProduct(LoadQuat(node->GetAnimateRotate()), LoadQuat(node->GetRotate()));
        if (node->IsIKEnabled()) r = Math::QuatProduct(LoadQuat(node->GetIKRotate()), r);
        if (node->m_isAppendRotate) r = Math::QuatProduct(LoadQuat(node->m_appendRotate), r);
        __m128 rows[4];
        RotationRows(r, rows[0], rows[1], rows[2]);
        // Scale 1 multiplies exactly. 1.0f is the only float equal to 1, so the bits tell.
        const Math::vec3& s = node->GetScale();
        uint64_t scaleXY;
        uint32_t scaleZ;
        std::memcpy(&scaleXY, &s.x, sizeof(scaleXY));
        std::memcpy(&scaleZ, &s.z, sizeof(scaleZ));
        if (scaleXY != 0x3f8000003f800000u || scaleZ != 0x3f800000u) {
            rows[0] = _mm_mul_ps(rows[0], _mm_setr_ps(s.x, s.x, s.x, 1.0f));
            rows[1] = _mm_mul_ps(rows[1], _mm_setr_ps(s.y, s.y, s.y, 1.0f));
            rows[2] = _mm_mul_ps(rows[2], _mm_setr_ps(s.z, s.z, s.z, 1.0f));
        }
        Math::vec3 t = node->GetTranslate() + node->GetAnimateTranslate();
        if (node->m_isAppendTranslate) t += node->m_appendTranslate;
        rows[3] = _mm_setr_ps(t.x, t.y, t.z, 1.0f);

        float(&local)[4][4] = node->LocalTransformRef().m;
        float(&global)[4][4] = node->GlobalTransformRef().m;
        _mm_storeu_ps(local[0], rows[0]);
        _mm_storeu_ps(local[1], rows[1]);
        _mm_storeu_ps(local[2], rows[2]);
        _mm_storeu_ps(local[3], rows[3]);
        const MMDNode* parent = node->GetParent();
        if (!parent) {
            _mm_storeu_ps(global[0], rows[0]);
            _mm_storeu_ps(global[1], rows[1]);
            _mm_storeu_ps(global[2], rows[2]);
            _mm_storeu_ps(global[3], rows[3]);
            continue;
        }
        const auto& b = parent->GetGlobalTransform().m;
        const __m128 b0 = _mm_loadu_ps(b[0]);
        const __m128 b1 = _mm_loadu_ps(b[1]);
        const __m128 b2 = _mm_loadu_ps(b[2]);
        const __m128 b3 = _mm_loadu_ps(b[3]);
        const auto row = [&](__m128 a) {
            return _mm_add_ps(_mm_add_ps(_mm_mul_ps(Broadcast<0>(a), b0), _mm_mul_ps(Broadcast<1>(a), b1)),
                              _mm_mul_ps(Broadcast<2>(a), b2));
        };
        _mm_storeu_ps(global[0], row(rows[0]));
        _mm_storeu_ps(global[1], row(rows[1]));
        _mm_storeu_ps(global[2], row(rows[2]));
        _mm_storeu_ps(global[3], _mm_add_ps(row(rows[3]), b3));
    }
#else
    for (PMXNode* node : order) {
        node->UpdateLocalTransform();
        node->UpdateOwnGlobalTransform();
    }
#endif
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
        node->EnableDeformAfterPhysics(HasFlag(bone.boneFlag, PMXBoneFlags::DeformAfterPhysics));
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
        if (HasFlag(bone.boneFlag, PMXBoneFlags::FixedAxis)) {
            node->SetFixedAxis(FixedAxisFromFile(bone.fixedAxis));
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
