#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "model/morph/MMDMorphManager.h"
#include "model/morph/PMXMorphSetup.h"
#include "model/skeleton/MMDNodeManager.h"

using namespace Vesma;
using Math::quat;
using Math::vec3;
using Math::vec4;

namespace {

PMXMorph PositionMorph(std::u16string name, std::vector<PMXPositionMorph> offsets) {
    PMXMorph m;
    m.name = std::move(name);
    m.morphType = PMXMorphType::Position;
    m.positionMorph = std::move(offsets);
    return m;
}

PMXMorph GroupMorph(std::u16string name, std::vector<PMXGroupMorph> members) {
    PMXMorph m;
    m.name = std::move(name);
    m.morphType = PMXMorphType::Group;
    m.groupMorph = std::move(members);
    return m;
}

PMXMaterialMorph MaterialOffset(int32_t material, PMXMaterialMorphOp op, vec4 diffuse) {
    PMXMaterialMorph o;
    o.materialIndex = material;
    o.opType = op;
    o.diffuse = diffuse;
    // A multiply offset that leaves everything else alone; an add offset that adds nothing else.
    const float keep = op == PMXMaterialMorphOp::Mul ? 1.0f : 0.0f;
    o.specular = {keep, keep, keep};
    o.specularPower = keep;
    o.ambient = {keep, keep, keep};
    o.edgeColor = {keep, keep, keep, keep};
    o.edgeSize = keep;
    o.textureFactor = o.sphereTextureFactor = o.toonTextureFactor = {keep, keep, keep, keep};
    return o;
}

PMXMorph MaterialMorph(std::u16string name, std::vector<PMXMaterialMorph> offsets) {
    PMXMorph m;
    m.name = std::move(name);
    m.morphType = PMXMorphType::Material;
    m.materialMorph = std::move(offsets);
    return m;
}

class MorphTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }

    void Build(const std::vector<PMXMorph>& morphs, size_t vertices = 4, size_t materials = 2) {
        positions.assign(vertices, {});
        uvs.assign(vertices, {});
        SetupPMXMorphs(morphs, nodes, vertices, materials, manager);
        mul.assign(materials, InitialMultiplyFactors({0.8f, 0.6f, 0.4f, 1.0f}, {0.5f, 0.5f, 0.5f}, 10.0f,
                                                     {0.2f, 0.2f, 0.2f}));
        add.assign(materials, MaterialMorphFactors{});
    }
    void Weigh(std::u16string_view name, float weight) {
        manager.GetMorph(manager.FindMorphIndex(name))->SetWeight(weight);
    }
    void Run() { manager.ApplyMorphs({positions, uvs, mul, add}); }

    MMDNodeManager nodes;
    MMDMorphManager manager;
    std::vector<vec3> positions;
    std::vector<vec4> uvs;
    std::vector<MaterialMorphFactors> mul;
    std::vector<MaterialMorphFactors> add;
};

}  // namespace

// Kinds by PMX type; extra UVs, flip and impulse exist by name and do nothing.
TEST_F(MorphTest, KindsAndInertTypes) {
    std::vector<PMXMorph> morphs(11);
    for (int t = 0; t <= 10; ++t) {
        morphs[t].name = u"m" + std::u16string(1, u'a' + t);
        morphs[t].morphType = static_cast<PMXMorphType>(t);
        morphs[t].uvMorph = {{0, {1, 1, 1, 1}}};
        morphs[t].flipMorph = {{0, 1.0f}};
    }
    Build(morphs);
    const MorphType expected[] = {MorphType::Group, MorphType::Position, MorphType::Bone,     MorphType::UV,
                                  MorphType::None,  MorphType::None,     MorphType::None,     MorphType::None,
                                  MorphType::Material, MorphType::None,  MorphType::None};
    for (int t = 0; t <= 10; ++t) {
        EXPECT_EQ(expected[t], manager.GetMorph(t)->GetType()) << t;
        EXPECT_EQ(0.0f, manager.GetMorph(t)->GetWeight());
    }
    for (int t : {4, 5, 9}) manager.GetMorph(t)->SetWeight(1.0f);
    Run();
    for (const vec4& uv : uvs) EXPECT_EQ(vec4(), uv);
}

// Vertex and UV offsets scale with the weight and add up; z is negated into model space.
TEST_F(MorphTest, VertexAndUVOffsetsAccumulate) {
    PMXMorph uv;
    uv.name = u"uv";
    uv.morphType = PMXMorphType::UV;
    uv.uvMorph = {{2, {0.2f, 0.4f, 0.6f, 0.8f}}};
    Build({PositionMorph(u"a", {{1, {2, 4, 6}}, {3, {1, 0, 0}}}), PositionMorph(u"b", {{1, {1, 1, 1}}}), uv});
    Weigh(u"a", 0.5f);
    Weigh(u"b", 1.0f);
    Weigh(u"uv", -1.0f);
    Run();
    EXPECT_EQ(vec3(2, 3, -4), positions[1]);
    EXPECT_EQ(vec3(0.5f, 0, 0), positions[3]);
    EXPECT_EQ(vec3(), positions[0]);
    EXPECT_EQ(vec4(-0.2f, -0.4f, -0.6f, -0.8f), uvs[2]);
}

// Two multiply morphs of 0.5 at weight 1 quarter the diffuse colour; an add morph then adds its
// colour x weight. Material -1 reaches every material; the other materials keep their values.
TEST_F(MorphTest, MaterialMultiplyAddAndAllMaterials) {
    const vec4 half(0.5f, 0.5f, 0.5f, 0.5f);
    Build({MaterialMorph(u"m1", {MaterialOffset(1, PMXMaterialMorphOp::Mul, half)}),
           MaterialMorph(u"m2", {MaterialOffset(1, PMXMaterialMorphOp::Mul, half)}),
           MaterialMorph(u"add", {MaterialOffset(1, PMXMaterialMorphOp::Add, {0.1f, 0.2f, 0.3f, 0})}),
           MaterialMorph(u"all", {MaterialOffset(-1, PMXMaterialMorphOp::Mul, {0, 0, 0, 0})})},
          4, 3);
    Weigh(u"m1", 1.0f);
    Weigh(u"m2", 1.0f);
    Weigh(u"add", 0.5f);
    Run();
    MaterialMorphResult r = CombineMaterialMorph(mul[1], add[1]);
    EXPECT_FLOAT_EQ(0.8f / 4 + 0.05f, r.diffuse.x);
    EXPECT_FLOAT_EQ(0.6f / 4 + 0.1f, r.diffuse.y);
    EXPECT_FLOAT_EQ(0.4f / 4 + 0.15f, r.diffuse.z);
    EXPECT_FLOAT_EQ(0.25f, r.diffuse.w);
    EXPECT_EQ(vec3(0.5f, 0.5f, 0.5f), r.specular);
    EXPECT_EQ(vec4(1, 1, 1, 1), r.textureMulFactor);
    EXPECT_EQ(vec4(), r.toonTextureAddFactor);
    EXPECT_EQ(vec4(0.8f, 0.6f, 0.4f, 1.0f), CombineMaterialMorph(mul[0], add[0]).diffuse);

    // Everything diffuse fades to black at weight 0.5 of "all": half of what each had.
    Weigh(u"all", 0.5f);
    mul.assign(3, InitialMultiplyFactors({0.8f, 0.6f, 0.4f, 1.0f}, {}, 0, {}));
    add.assign(3, {});
    Run();
    EXPECT_FLOAT_EQ(0.4f, mul[0].diffuse.x);
    EXPECT_FLOAT_EQ(0.4f, mul[2].diffuse.x);
    EXPECT_FLOAT_EQ(0.1f, mul[1].diffuse.x);  // quartered, then halved
}

// Bone morphs move the rest pose: rotation slerped from it, translation added (model space).
TEST_F(MorphTest, BoneMorphMovesRestPose) {
    PMXBone bone;
    bone.name = u"b";
    bone.parentBoneIndex = -1;
    SetupPMXNodes(std::vector<PMXBone>{bone}, nodes);
    const quat q = Math::QuaternionRotationAxis({1, 2, 3}, 0.8f);
    PMXMorph m;
    m.name = u"bone";
    m.morphType = PMXMorphType::Bone;
    m.boneMorph = {{0, {1, 2, 3}, {-q.x, -q.y, q.z, q.w}}};  // as the file stores it
    Build({m});
    Weigh(u"bone", 1.0f);
    PMXNode* node = nodes.GetNode(0);
    node->BeginUpdate();
    Run();
    EXPECT_EQ(vec3(1, 2, -3), node->GetTranslate());
    EXPECT_NEAR(1.0f, std::abs(Math::Dot(q, node->GetRotate())), 1e-6f);

    Weigh(u"bone", 0.5f);
    node->BeginUpdate();
    Run();
    EXPECT_EQ(vec3(0.5f, 1, -1.5f), node->GetTranslate());
    EXPECT_NEAR(1.0f, std::abs(Math::Dot(Math::Slerp(quat::Identity(), q, 0.5f), node->GetRotate())), 1e-6f);
}

// A group applies its members at its weight x the member weight, where the group stands in the
// list, so a member with its own weight acts twice.
TEST_F(MorphTest, GroupScalesMembersAndMemberActsTwice) {
    Build({PositionMorph(u"v", {{0, {1, 0, 0}}}), GroupMorph(u"g", {{0, 0.6f}})});
    Weigh(u"g", 0.5f);
    Run();
    EXPECT_FLOAT_EQ(0.3f, positions[0].x);

    positions.assign(4, {});
    Weigh(u"v", 1.0f);
    Run();
    EXPECT_FLOAT_EQ(1.3f, positions[0].x);
}

// Groups that contain themselves, directly or through another group, are cut off at the depth
// limit: a self-containing group with weight 0.5 applies its vertex morph at 1, 1/2, ... 1/128.
// A group that would explode (a thousand self references) is emptied. All three are reported.
TEST_F(MorphTest, GroupCyclesStopAtDepthLimit) {
    std::vector<PMXGroupMorph> bomb(1000, {3, 1.0f});
    Build({PositionMorph(u"v", {{0, {1, 0, 0}}}), GroupMorph(u"self", {{1, 0.5f}, {0, 1.0f}}),
           GroupMorph(u"ping", {{0, 1.0f}, {4, 1.0f}}), GroupMorph(u"bomb", bomb), GroupMorph(u"pong", {{2, 1.0f}})});
    const std::string log = Utf16ToUtf8(MessageLog::Instance().TakeAll());
    EXPECT_NE(std::string::npos, log.find("4 group morph(s) contain themselves or nest deeper than 8 levels"));
    EXPECT_NE(std::string::npos, log.find("1 group morph(s) would apply too many morphs and are ignored"));
    EXPECT_TRUE(manager.GetGroupMorphs()[2].empty());

    Weigh(u"self", 1.0f);
    Run();
    EXPECT_FLOAT_EQ(2.0f - 1.0f / 128, positions[0].x);

    // ping -> v, pong -> ping -> v, pong, ... ping reaches v at depths 1, 3, 5, 7.
    positions.assign(4, {});
    Weigh(u"self", 0.0f);
    Weigh(u"ping", 1.0f);
    Weigh(u"bomb", 1.0f);
    Run();
    EXPECT_FLOAT_EQ(4.0f, positions[0].x);
}

// Offsets naming vertices, bones, materials or morphs that don't exist are dropped at set-up; the
// rest of the morph works, and one message counts them.
TEST_F(MorphTest, OutOfRangeOffsetsAreDropped) {
    PMXMorph bone;
    bone.name = u"bone";
    bone.morphType = PMXMorphType::Bone;
    bone.boneMorph = {{0, {1, 0, 0}, {0, 0, 0, 1}}, {-1, {1, 0, 0}, {0, 0, 0, 1}}};
    Build({PositionMorph(u"v", {{-1, {9, 9, 9}}, {4, {9, 9, 9}}, {2, {1, 0, 0}}}),
           MaterialMorph(u"m", {MaterialOffset(2, PMXMaterialMorphOp::Add, {1, 1, 1, 1}),
                                MaterialOffset(-2, PMXMaterialMorphOp::Add, {1, 1, 1, 1})}),
           GroupMorph(u"g", {{7, 1.0f}, {-1, 1.0f}, {0, 1.0f}}), bone},
          4, 2);
    EXPECT_EQ(1u, manager.GetPositionMorphs()[0].size());
    EXPECT_TRUE(manager.GetMaterialMorphs()[0].empty());
    EXPECT_EQ(1u, manager.GetGroupMorphs()[0].size());
    EXPECT_TRUE(manager.GetBoneMorphs()[0].empty());  // no nodes at all
    EXPECT_NE(std::string::npos,
              Utf16ToUtf8(MessageLog::Instance().TakeAll()).find("8 morph offset(s) name a vertex, bone, material or morph"));
    Weigh(u"g", 1.0f);
    Run();
    EXPECT_EQ(vec3(1, 0, 0), positions[2]);
}

// A bone morph at weight 0 leaves a turned, moved node exactly as it was, as t + 0·d and a slerp
// at 0 do; the same morph at a small weight still moves it.
TEST_F(MorphTest, BoneMorphAtWeightZeroLeavesTheNode) {
    PMXBone bone;
    bone.name = u"b";
    bone.parentBoneIndex = -1;
    SetupPMXNodes(std::vector<PMXBone>{bone}, nodes);
    PMXMorph m;
    m.name = u"bone";
    m.morphType = PMXMorphType::Bone;
    const quat q = Math::QuaternionRotationAxis({0, 1, 0}, 2.5f);
    m.boneMorph = {{0, {1, 2, 3}, {q.x, q.y, q.z, q.w}}};
    Build({m});
    PMXNode* node = nodes.GetNode(0);
    const vec3 t(0.25f, -1.5f, 4.0f);
    const quat r = Math::QuaternionRotationAxis(Math::Normalize(vec3(1, 2, 3)), 0.9f);
    for (float w : {0.0f, 1e-3f}) {
        node->SetTranslate(t);
        node->SetRotate(r);
        Weigh(u"bone", w);
        Run();
        const vec3 movedT = t + vec3(1, 2, -3) * w;
        const quat movedR = Math::Slerp(r, {-q.x, -q.y, q.z, q.w}, w);
        EXPECT_EQ(movedT, node->GetTranslate()) << w;
        const quat got = node->GetRotate();
        EXPECT_TRUE(got.x == movedR.x && got.y == movedR.y && got.z == movedR.z && got.w == movedR.w) << w;
        EXPECT_EQ(w == 0.0f, got.x == r.x && got.y == r.y && got.z == r.z && got.w == r.w) << w;
    }
}
