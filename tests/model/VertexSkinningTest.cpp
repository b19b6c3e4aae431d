#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/skin/SkinLayout.h"
#include "model/skin/VertexSkinning.h"
#include "tests/model/ModelTestRigs.h"

using namespace Vesma;
using Math::mat4;
using Math::quat;
using Math::vec3;
using ModelRigs::Bone;
using ModelRigs::Vertex;

namespace {

constexpr float kPi = Math::kPi;

quat RandomRotation(std::mt19937& rng, float maxAngle) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    return Math::QuaternionRotationAxis(vec3(unit(rng), unit(rng), unit(rng)), maxAngle * unit(rng));
}

// ---- the skinning loop against a plain evaluation of the skinning rules ----

mat4 Scale(const mat4& m, float s) {
    mat4 r = m;
    for (auto& row : r.m)
        for (float& x : row) x *= s;
    return r;
}

mat4 Add(const mat4& a, const mat4& b) {
    mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[i][j] + b.m[i][j];
    return r;
}

// Position and normal of vertex v as the skinning rules give them, one step at a time: indices
// that name no node add nothing (each bone's matrix is placed before the blend, so weights that
// don't add up to 1 scale the placement's move as well), a vertex left without a bone keeps the
// placement, an SDEF vertex with a missing bone is blended plainly.
std::pair<vec3, vec3> ReferenceSkin(const PMXModel& model, std::size_t v) {
    const VertexSkin& skin = model.GetVertexSkins()[v];
    const ModelVertex& rest = model.GetRestVertices()[v];
    const std::vector<mat4>& skins = model.GetSkinningMatrices();
    const mat4& placement = model.GetPlacement();
    const auto valid = [&](int32_t i) { return i >= 0 && static_cast<std::size_t>(i) < skins.size(); };
    const vec3 position = rest.position + model.GetMorphPositionOffsets()[v];

    if (skin.weightType == SkinType::SDEF && valid(skin.sdefBoneIndex0) && valid(skin.sdefBoneIndex1)) {
        const auto& nodes = model.GetNodeManager().GetNodes();
        const quat q0 = Math::QuaternionFromMatrix(nodes[skin.sdefBoneIndex0]->GetGlobalTransform());
        const quat q1 = Math::QuaternionFromMatrix(nodes[skin.sdefBoneIndex1]->GetGlobalTransform());
        const mat4 r = Math::RotationQuaternion(Math::Slerp(q0, q1, 1 - skin.sdefWeight));
        const float w = skin.sdefWeight;
        const vec3 p = Math::TransformNormal(position - skin.sdefC, r) +
                       Math::TransformCoord(skin.sdefP0, skins[skin.sdefBoneIndex0]) * w +
                       Math::TransformCoord(skin.sdefP1, skins[skin.sdefBoneIndex1]) * (1 - w);
        return {Math::TransformCoord(p, placement),
                Math::Normalize(Math::TransformNormal(Math::TransformNormal(rest.normal, r), placement))};
    }

    mat4 m = Scale(mat4::Identity(), 0);
    bool any = false;
    if (skin.weightType == SkinType::QDEF) {
        quat real(0, 0, 0, 0), dual(0, 0, 0, 0), first;
        for (int k = 0; k < 4; ++k) {
            if (!valid(skin.boneIndices[k])) continue;
            vec3 scale, t;
            quat q;
            Math::Decompose(skins[skin.boneIndices[k]], scale, q, t);
            const quat d = quat(t.x * 0.5f, t.y * 0.5f, t.z * 0.5f, 0) * q;
            float w = skin.weights[k];
            if (!any) first = q;
            else if (Math::Dot(q, first) < 0) w = -w;
            any = true;
            real = {real.x + q.x * w, real.y + q.y * w, real.z + q.z * w, real.w + q.w * w};
            dual = {dual.x + d.x * w, dual.y + d.y * w, dual.z + d.z * w, dual.w + d.w * w};
        }
        if (any) {
            const float inv = 1 / std::sqrt(Math::Dot(real, real));
            real = {real.x * inv, real.y * inv, real.z * inv, real.w * inv};
            dual = {dual.x * inv, dual.y * inv, dual.z * inv, dual.w * inv};
            m = Math::RotationQuaternion(real);
            const quat t = dual * Math::Conjugate(real);
            m.SetTranslation({2 * t.x, 2 * t.y, 2 * t.z});
        }
    } else {
        const int slots = skin.weightType == SkinType::BDEF1 ? 1 : skin.weightType == SkinType::BDEF4 ? 4 : 2;
        for (int k = 0; k < slots; ++k) {
            if (!valid(skin.boneIndices[k])) continue;
            m = Add(m, Scale(skins[skin.boneIndices[k]] * placement, slots == 1 ? 1.0f : skin.weights[k]));
            any = true;
        }
        if (!any) m = placement;
        // The blend need not be affine in its last column: the point goes through rows 0-3 as is.
        return {Math::TransformNormal(position, m) + m.Translation(),
                Math::Normalize(Math::TransformNormal(rest.normal, m))};
    }
    if (!any) m = mat4::Identity();
    const mat4 placed = m * placement;
    return {Math::TransformCoord(position, placed), Math::Normalize(Math::TransformNormal(rest.normal, placed))};
}

// Bones 0-5 (a chain 0-1-2 and three more roots); vertex cases of every weight type, each with
// good, missing (-1 or out of range) and zero-weight slots.
PMXFile SkinCasesFile() {
    PMXFile file;
    file.bones.push_back(Bone(u"b0", {0, 0, 0}, -1));
    file.bones.push_back(Bone(u"b1", {0, 1, 0}, 0));
    file.bones.push_back(Bone(u"b2", {0, 2, 0.5f}, 1));
    file.bones.push_back(Bone(u"b3", {1, 0, 0}, -1));
    file.bones.push_back(Bone(u"b4", {-1, 1, 0}, -1));
    file.bones.push_back(Bone(u"b5", {0, -1, 1}, -1));
    using W = PMXVertexWeight;
    const struct {
        W type;
        std::array<int32_t, 4> bones;
        std::array<float, 4> weights;
    } cases[] = {
        {W::BDEF1, {2, -1, -1, -1}, {1, 0, 0, 0}},
        {W::BDEF1, {-1, 3, 3, 3}, {1, 1, 1, 1}},        // no bone: the placement alone
        {W::BDEF1, {6, -1, -1, -1}, {1, 0, 0, 0}},      // out of range
        {W::BDEF2, {1, 4, -1, -1}, {0.3f, 0, 0, 0}},
        {W::BDEF2, {1, 4, -1, -1}, {1, 0, 0, 0}},       // weight 1: bone 1 alone
        {W::BDEF2, {1, 4, -1, -1}, {0, 0, 0, 0}},       // weight 0: bone 4 alone
        {W::BDEF2, {-1, 4, -1, -1}, {0.5f, 0, 0, 0}},   // half of bone 4, nothing else
        {W::BDEF2, {-1, 99, -1, -1}, {0.5f, 0, 0, 0}},  // no bone
        {W::BDEF4, {0, 2, 3, 5}, {0.4f, 0.3f, 0.2f, 0.1f}},
        {W::BDEF4, {0, -1, 3, 8}, {0.4f, 0.3f, 0.2f, 0.1f}},
        {W::BDEF4, {0, 2, 3, 5}, {0.5f, 0, 0.5f, 0}},
        {W::BDEF4, {0, 2, 3, 5}, {0, 0, 0, 0}},  // valid bones of weight 0: the zero matrix
        {W::BDEF4, {-1, -1, -1, -1}, {0.25f, 0.25f, 0.25f, 0.25f}},
        {W::SDEF, {1, 2, -1, -1}, {0.35f, 0, 0, 0}},
        {W::SDEF, {4, 5, -1, -1}, {0.8f, 0, 0, 0}},
        {W::SDEF, {0, 3, -1, -1}, {1, 0, 0, 0}},
        {W::SDEF, {0, 3, -1, -1}, {0, 0, 0, 0}},
        {W::SDEF, {2, 17, -1, -1}, {0.6f, 0, 0, 0}},  // missing bone: 0.6 of bone 2
        {W::SDEF, {-1, -1, -1, -1}, {0.6f, 0, 0, 0}},
        {W::QDEF, {0, 3, 4, 5}, {0.4f, 0.3f, 0.2f, 0.1f}},
        {W::QDEF, {-1, 3, 12, 4}, {0.2f, 0.3f, 0.1f, 0.4f}},
        {W::QDEF, {-1, -1, -1, -1}, {0.25f, 0.25f, 0.25f, 0.25f}},
    };
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int copy = 0; copy < 3; ++copy) {
        for (const auto& c : cases) {
            PMXVertex v = Vertex({unit(rng), 1 + unit(rng), unit(rng)}, c.type, c.bones, c.weights);
            v.normal = {unit(rng), unit(rng), unit(rng)};
            v.sdefC = {unit(rng) * 0.5f, 1 + unit(rng) * 0.5f, unit(rng) * 0.5f};
            v.sdefR0 = v.sdefC + vec3(unit(rng), unit(rng), unit(rng)) * 0.3f;
            v.sdefR1 = v.sdefC + vec3(unit(rng), unit(rng), unit(rng)) * 0.3f;
            file.vertices.push_back(v);
        }
    }
    PMXMorph lift;
    lift.name = u"lift";
    lift.morphType = PMXMorphType::Position;
    for (int32_t v = 0; v < static_cast<int32_t>(file.vertices.size()); v += 2) lift.positionMorph.push_back({v, {0.1f, 0.2f, -0.3f}});
    file.morphs = {lift};
    return file;
}

TEST(VertexSkinningTest, EveryWeightTypeWithMissingBonesMatchesThePlainRules) {
    const struct {
        vec3 rotation;
        vec3 translation;
        float morph;
    } placements[] = {
        {{0, 0, 0}, {0, 0, 0}, 0.0f},
        {{0.3f, -1.2f, 2.0f}, {4, -2, 7}, 1.0f},
    };
    for (const auto& placement : placements) {
        SCOPED_TRACE(placement.morph);
        auto model = ModelRigs::LoadModel(SkinCasesFile());
        ASSERT_TRUE(model);
        model->SetPlacement(placement.rotation, placement.translation);
        std::mt19937 rng(9);
        for (int frame = 0; frame < 3; ++frame) {
            model->BeginAnimation();
            model->GetMorphManager().GetMorph(0)->SetWeight(placement.morph);
            for (const auto& node : model->GetNodeManager().GetNodes()) {
                node->SetAnimateRotate(RandomRotation(rng, 2.5f));
                node->SetAnimateTranslate(vec3(0.2f, -0.1f, 0.3f) * static_cast<float>(frame));
            }
            model->UpdateMorphsAndNodes();
            model->UpdateVertices();
            const auto& out = model->GetOutputVertices();
            for (std::size_t v = 0; v < out.size(); ++v) {
                SCOPED_TRACE(v);
                const auto [position, normal] = ReferenceSkin(*model, v);
                EXPECT_NEAR(position.x, out[v].position.x, 1e-4f);
                EXPECT_NEAR(position.y, out[v].position.y, 1e-4f);
                EXPECT_NEAR(position.z, out[v].position.z, 1e-4f);
                EXPECT_NEAR(normal.x, out[v].normal.x, 1e-4f);
                EXPECT_NEAR(normal.y, out[v].normal.y, 1e-4f);
                EXPECT_NEAR(normal.z, out[v].normal.z, 1e-4f);
            }
        }
    }
}

TEST(VertexSkinningTest, RecordsDropMissingBonesAndZeroWeights) {
    // What the loop does per vertex: how many matrix slots it blends, and which.
    VertexSkin bdef2;
    bdef2.weightType = SkinType::BDEF2;
    bdef2.boneIndices = {1, 2, -1, -1};
    bdef2.weights = {1, 0, 0, 0};
    VertexSkin bdef4 = bdef2;
    bdef4.weightType = SkinType::BDEF4;
    bdef4.boneIndices = {0, -1, 2, 40};
    bdef4.weights = {0.5f, 0.2f, 0.3f, 0.1f};
    VertexSkin lost = bdef4;
    lost.boneIndices = {-3, -1, 3, 40};
    VertexSkin idle = bdef4;
    idle.boneIndices = {0, 1, 2, 0};
    idle.weights = {0, 0, 0, 0};
    VertexSkin sdef;
    sdef.weightType = SkinType::SDEF;
    sdef.sdefBoneIndex0 = sdef.boneIndices[0] = 2;
    sdef.sdefBoneIndex1 = sdef.boneIndices[1] = 1;
    sdef.sdefWeight = sdef.weights[0] = 0.25f;
    sdef.weights[1] = 0.75f;
    VertexSkin halfSdef = sdef;
    halfSdef.sdefBoneIndex1 = halfSdef.boneIndices[1] = 9;
    VertexSkin qdef = bdef4;
    qdef.weightType = SkinType::QDEF;

    const std::vector<VertexSkin> skins = {bdef2, bdef4, lost, idle, sdef, halfSdef, qdef};
    const std::vector<ModelVertex> rest(skins.size());
    SkinLayout layout;
    BuildSkinLayout(rest, skins, 3, layout);
    ASSERT_EQ(skins.size(), layout.records.size());
    const uint32_t placement = layout.PlacementSlot(), zero = layout.ZeroSlot();
    EXPECT_EQ(3u, placement);
    EXPECT_EQ(4u, zero);
    const struct {
        SkinKind kind;
        std::vector<std::pair<uint32_t, float>> slots;
    } expected[] = {
        {SkinKind::Blend1, {{1, 1.0f}}},
        {SkinKind::Blend2, {{0, 0.5f}, {2, 0.3f}}},
        {SkinKind::Blend1, {{placement, 1.0f}}},
        {SkinKind::Blend1, {{zero, 1.0f}}},
        {SkinKind::Sdef, {{2, 0.25f}, {1, 0.75f}}},
        {SkinKind::Blend1, {{2, 0.25f}}},
        {SkinKind::Qdef, {{0, 0.5f}, {kNoBone, 0.2f}, {2, 0.3f}, {kNoBone, 0.1f}}},
    };
    for (std::size_t v = 0; v < skins.size(); ++v) {
        SCOPED_TRACE(v);
        EXPECT_EQ(expected[v].kind, layout.kinds[v]);
        for (std::size_t k = 0; k < expected[v].slots.size(); ++k) {
            EXPECT_EQ(expected[v].slots[k].first, layout.records[v].bones[k]);
            EXPECT_FLOAT_EQ(expected[v].slots[k].second, layout.records[v].weights[k]);
        }
        // Unused blend slots read the zero matrix at weight 0.
        if (layout.kinds[v] == SkinKind::Blend2) {
            EXPECT_EQ(zero, layout.records[v].bones[3]);
            EXPECT_EQ(0.0f, layout.records[v].weights[3]);
        }
    }
    ASSERT_EQ(1u, layout.sdef.size());
    EXPECT_EQ(0u, layout.records[4].bones[2]);
    EXPECT_TRUE(layout.hasSdef);
    EXPECT_TRUE(layout.hasQdef);
}

// ---- morph offsets across frames ----

TEST(VertexSkinningTest, MorphOffsetsLastOnlyForTheFrameThatAppliedThem) {
    PMXFile file;
    file.bones.push_back(Bone(u"b0", {0, 0, 0}, -1));
    for (int i = 0; i < 6; ++i) {
        file.vertices.push_back(Vertex({static_cast<float>(i), 0, 0}, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
    }
    PMXMorph raise;  // 0
    raise.name = u"raise";
    raise.morphType = PMXMorphType::Position;
    raise.positionMorph = {{1, {0, 1, 0}}, {3, {0, 2, 0}}, {1, {0, 0.5f, 0}}};  // vertex 1 twice
    PMXMorph shift;  // 1
    shift.name = u"shift";
    shift.morphType = PMXMorphType::UV;
    shift.uvMorph = {{3, {0.5f, 0.25f, 0, 0}}, {4, {-0.5f, 0, 0, 0}}};
    PMXMorph both;  // 2: a group of the two
    both.name = u"both";
    both.morphType = PMXMorphType::Group;
    both.groupMorph = {{0, 0.5f}, {1, 2.0f}};
    file.morphs = {raise, shift, both};
    auto model = ModelRigs::LoadModel(std::move(file));
    ASSERT_TRUE(model);
    const std::size_t n = model->GetRestVertices().size();

    const struct {
        float raise, shift, both;
        std::vector<float> y;  // per-vertex position offset y
        std::vector<float> u;  // per-vertex UV offset x (y is half of it at vertex 3)
    } frames[] = {
        {0, 0, 1, {0, 0.75f, 0, 1, 0, 0}, {0, 0, 0, 1, -1, 0}},
        {1, 0, 0, {0, 1.5f, 0, 2, 0, 0}, {0, 0, 0, 0, 0, 0}},  // the UV offsets go back to 0
        {0, 0, 0.25f, {0, 0.1875f, 0, 0.25f, 0, 0}, {0, 0, 0, 0.25f, -0.25f, 0}},
        {0, 0.5f, 0, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0.25f, -0.25f, 0}},
        {0, 0, 0, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},
        {1, 1, 1, {0, 2.25f, 0, 3, 0, 0}, {0, 0, 0, 1.5f, -1.5f, 0}},
    };
    int index = 0;
    for (const auto& f : frames) {
        SCOPED_TRACE(index++);
        MMDMorphManager& morphs = model->GetMorphManager();
        morphs.GetMorph(0)->SetWeight(f.raise);
        morphs.GetMorph(1)->SetWeight(f.shift);
        morphs.GetMorph(2)->SetWeight(f.both);
        ModelFrame job;
        job.model = model.get();
        job.Run();
        const auto& positions = model->GetMorphPositionOffsets();
        const auto& uvs = model->GetMorphUVOffsets();
        const auto& out = model->GetOutputVertices();
        const auto& rest = model->GetRestVertices();
        for (std::size_t v = 0; v < n; ++v) {
            SCOPED_TRACE(v);
            const vec3 offset(0, f.y[v], 0);
            EXPECT_EQ(offset, positions[v]);
            EXPECT_EQ(Math::vec4(f.u[v], v == 3 ? 0.5f * f.u[v] : 0.0f, 0, 0), uvs[v]);
            EXPECT_EQ(rest[v].position + offset, out[v].position);
            EXPECT_FLOAT_EQ(rest[v].uv.x + f.u[v], out[v].uv.x);
        }
    }
}

}  // namespace
