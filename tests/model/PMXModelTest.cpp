#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/MessageLog.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/io/VMDFile.h"
#include "model/motion/VMDModelAnimation.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/support/PhysicsRigs.h"
#include "tests/support/VmdWriter.h"

using namespace Vesma;
using Math::quat;
using Math::vec3;
using ModelRigs::Bone;
using ModelRigs::Vertex;

namespace {

constexpr float kPi = Math::kPi;

void ExpectVecNear(const vec3& expected, const vec3& actual, float tolerance = 1e-5f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

void RunFrame(PMXModel& model, VMDModelAnimation* motion, float frame) {
    ModelFrame job;
    job.model = &model;
    job.animation = motion;
    job.frame = frame;
    job.physicsSeconds = 1.0f / 30.0f;
    job.Run();
}

// An arm bent by a one-link IK chain towards (1, 1, 0), and a bone that takes half of the arm's
// rotation. The append bone comes before the IK bone in file order; its deform layer decides
// whether it sees the arm before or after the IK solve.
PMXFile ArmWithAppendFile(int32_t followDepth) {
    PMXFile file;
    file.bones.push_back(Bone(u"root", {0, 0, 0}, -1));
    PMXBone follow = Bone(u"follow", {3, 0, 0}, 0, followDepth);
    follow.boneFlag = ModelRigs::kAppendRotateFlag;
    follow.appendBoneIndex = 2;
    follow.appendWeight = 0.5f;
    file.bones.push_back(follow);
    file.bones.push_back(Bone(u"arm", {0, 1, 0}, 0));
    file.bones.push_back(Bone(u"tip", {0, 2, 0}, 2));
    file.bones.push_back(ModelRigs::IKBone(u"ik", {1, 1, 0}, 0, 3, 2, 8));
    file.bones.push_back(Bone(u"followTip", {3, 1, 0}, 1));
    file.vertices.push_back(Vertex({0, 2, 0}, PMXVertexWeight::BDEF1, {3, -1, -1, -1}, {1, 0, 0, 0}));
    file.vertices.push_back(Vertex({3, 1, 0}, PMXVertexWeight::BDEF1, {5, -1, -1, -1}, {1, 0, 0, 0}));
    return file;
}

TEST(PMXModelTest, PerFrameOrderPosesAppendAndIKBonesByDeformLayer) {
    const float h = std::sqrt(0.5f);
    const struct {
        int32_t followDepth;
        vec3 followTip;  // before the root's move
    } cases[] = {
        {1, {3 + h, h, 0}},  // after the IK bone: half of the solved arm
        {0, {3, 1, 0}},      // before it: the arm has not turned yet
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.followDepth);
        auto model = ModelRigs::LoadModel(ArmWithAppendFile(c.followDepth));
        ASSERT_TRUE(model);
        VMDModelAnimation motion;
        motion.Bind(model);
        VMDFile vmd;
        vmd.boneKeys = {TestSupport::MakeBoneKey("root", 0, {0, 0, 2})};  // model space (0, 0, -2)
        ASSERT_TRUE(motion.AddMotion(vmd));
        RunFrame(*model, &motion, 0);

        const vec3 move(0, 0, -2);
        auto global = [&](const char16_t* name) {
            const MMDNodeManager& nodes = model->GetNodeManager();
            return nodes.GetNode(nodes.FindNodeIndex(name))->GetGlobalTransform();
        };
        ExpectVecNear(move, global(u"root").Translation());
        ExpectVecNear(vec3(1, 1, 0) + move, global(u"tip").Translation(), 1e-4f);
        ExpectVecNear({1, 0, 0}, Math::TransformNormal({0, 1, 0}, global(u"arm")), 1e-4f);
        ExpectVecNear(c.followTip + move, global(u"followTip").Translation(), 1e-4f);

        const auto& out = model->GetOutputVertices();
        ExpectVecNear(vec3(1, 1, 0) + move, out[0].position, 1e-4f);
        ExpectVecNear(c.followTip + move, out[1].position, 1e-4f);
        ExpectVecNear({1, 0, 0}, Math::Normalize(out[0].position - global(u"arm").Translation()), 1e-4f);
    }
}

// Bones: b0 at the origin, b1 at (0, 1, 0) below it (so both share b0's rotation), b2 a second
// root at (1, 0, 0). Vertices pair up: each pair must skin to the same place.
PMXFile SkinFile() {
    PMXFile file;
    file.bones.push_back(Bone(u"b0", {0, 0, 0}, -1));
    file.bones.push_back(Bone(u"b1", {0, 1, 0}, 0));
    file.bones.push_back(Bone(u"b2", {1, 0, 0}, -1));
    const vec3 p(0.5f, 1.5f, 0.2f);
    using W = PMXVertexWeight;
    file.vertices.push_back(Vertex(p, W::BDEF1, {1, -1, -1, -1}, {1, 0, 0, 0}));   // 0
    file.vertices.push_back(Vertex(p, W::BDEF2, {1, 2, -1, -1}, {1, 0, 0, 0}));    // 1: = 0
    PMXVertex sdef = Vertex(p, W::SDEF, {0, 1, -1, -1}, {0.3f, 0, 0, 0});           // 2
    sdef.sdefC = {0.2f, 0.8f, 0.1f};
    sdef.sdefR0 = {0.1f, 0.5f, -0.3f};
    sdef.sdefR1 = {0.0f, 1.2f, 0.4f};
    file.vertices.push_back(sdef);
    file.vertices.push_back(Vertex(p, W::BDEF2, {0, 1, -1, -1}, {0.3f, 0, 0, 0}));  // 3: = 2
    file.vertices.push_back(Vertex(p, W::QDEF, {2, -1, -1, -1}, {1, 0, 0, 0}));     // 4
    file.vertices.push_back(Vertex(p, W::BDEF1, {2, -1, -1, -1}, {1, 0, 0, 0}));    // 5: = 4
    file.vertices.push_back(Vertex(p, W::QDEF, {2, 2, -1, -1}, {0.5f, 0.5f, 0, 0})); // 6: = 5 as well
    file.vertices.push_back(Vertex(p, W::BDEF4, {2, 7, 2, -1}, {0.25f, 0, 0.75f, 0})); // 7: = 5
    return file;
}

void PoseSkinModel(PMXModel& model) {
    model.BeginAnimation();
    MMDNodeManager& nodes = model.GetNodeManager();
    nodes.GetNode(0)->SetAnimateRotate(Math::QuaternionRotationAxis(Math::Normalize(vec3(1, 1, 0)), 0.7f));
    nodes.GetNode(0)->SetAnimateTranslate({0.3f, -0.2f, 0.5f});
    nodes.GetNode(2)->SetAnimateRotate(Math::QuaternionRotationAxis(Math::Normalize(vec3(0, 1, 2)), -1.1f));
    nodes.GetNode(2)->SetAnimateTranslate({-1, 0, 2});
    model.UpdateMorphsAndNodes();
    model.UpdateVertices();
}

TEST(PMXModelTest, EveryWeightTypeAgreesWithItsSimplerEquivalent) {
    for (bool placed : {false, true}) {
        SCOPED_TRACE(placed);
        auto model = ModelRigs::LoadModel(SkinFile());
        ASSERT_TRUE(model);
        if (placed) model->SetPlacement({0.2f, kPi / 2, -0.4f}, {1, 2, 3});
        PoseSkinModel(*model);
        const auto& out = model->GetOutputVertices();
        const std::vector<ModelVertex> rest = model->GetRestVertices();

        // BDEF2 at weight 1 is BDEF1, exactly.
        EXPECT_EQ(out[0].position, out[1].position);
        EXPECT_EQ(out[0].normal, out[1].normal);
        // The bone really moved the vertex.
        EXPECT_GT(Math::Length(out[0].position - rest[0].position), 0.1f);
        const std::pair<int, int> pairs[] = {{2, 3}, {4, 5}, {6, 5}, {7, 5}};
        for (auto [a, b] : pairs) {
            SCOPED_TRACE(a);
            ExpectVecNear(out[b].position, out[a].position, 1e-5f);
            ExpectVecNear(out[b].normal, out[a].normal, 1e-5f);
            EXPECT_NEAR(1.0f, Math::Length(out[a].normal), 1e-5f);
            EXPECT_EQ(rest[a].uv, out[a].uv);
        }
    }
}

TEST(PMXModelTest, SdefFollowsTheBlendedRotationNotTheBlendedMatrix) {
    // Bones with opposite turns about z: a linear blend at weight 0.5 collapses the vertex towards
    // the axis, SDEF keeps its distance from the rotation centre.
    PMXFile file;
    file.bones.push_back(Bone(u"a", {0, 0, 0}, -1));
    file.bones.push_back(Bone(u"b", {0, 0, 0}, -1));
    PMXVertex sdef = Vertex({1, 0, 0}, PMXVertexWeight::SDEF, {0, 1, -1, -1}, {0.5f, 0, 0, 0});
    file.vertices.push_back(sdef);  // C, R0 and R1 at the origin
    file.vertices.push_back(Vertex({1, 0, 0}, PMXVertexWeight::BDEF2, {0, 1, -1, -1}, {0.5f, 0, 0, 0}));
    auto model = ModelRigs::LoadModel(std::move(file));
    ASSERT_TRUE(model);
    model->BeginAnimation();
    model->GetNodeManager().GetNode(0)->SetAnimateRotate(Math::QuaternionRotationAxis({0, 0, 1}, kPi / 3));
    model->GetNodeManager().GetNode(1)->SetAnimateRotate(Math::QuaternionRotationAxis({0, 0, 1}, -kPi / 3));
    model->UpdateMorphsAndNodes();
    model->UpdateVertices();
    const auto& out = model->GetOutputVertices();
    ExpectVecNear({1, 0, 0}, out[0].position);
    ExpectVecNear({0.5f, 0, 0}, out[1].position);
}

TEST(PMXModelTest, BoneIndicesThatNameNoBoneMoveNothing) {
    PMXFile file = SkinFile();
    using W = PMXVertexWeight;
    file.vertices.push_back(Vertex({1, 2, 3}, W::BDEF1, {99, -1, -1, -1}, {1, 0, 0, 0}));      // 8
    file.vertices.push_back(Vertex({1, 2, 3}, W::BDEF2, {-1, -7, -1, -1}, {0.5f, 0, 0, 0}));  // 9
    file.vertices.push_back(Vertex({1, 2, 3}, W::SDEF, {2, 1000, -1, -1}, {1, 0, 0, 0}));    // 10: as BDEF1 of b2
    file.vertices.push_back(Vertex({1, 2, 3}, W::QDEF, {-1, 50, -1, -1}, {0.5f, 0.5f, 0, 0}));  // 11
    file.vertices.push_back(Vertex({1, 2, 3}, W::BDEF1, {2, -1, -1, -1}, {1, 0, 0, 0}));       // 12
    MessageLog::Instance().TakeAll();
    auto model = ModelRigs::LoadModel(std::move(file));
    ASSERT_TRUE(model);
    EXPECT_EQ(4u, model->GetBadBoneIndexCount());  // vertex 7's unused slot 7 has weight 0
    EXPECT_NE(std::u16string::npos, MessageLog::Instance().TakeAll().find(u"4 vertices"));
    PoseSkinModel(*model);
    const auto& out = model->GetOutputVertices();
    for (int v : {8, 9, 11}) ExpectVecNear({1, 2, 3}, out[v].position);
    ExpectVecNear(out[12].position, out[10].position, 1e-5f);
}

TEST(PMXModelTest, PreviousPositionsMorphOffsetsAndPlacement) {
    PMXFile file = SkinFile();
    PMXMorph lift;
    lift.name = u"lift";
    lift.morphType = PMXMorphType::Position;
    lift.positionMorph.push_back({5, {0, 1, 0}});
    PMXMorph slide;
    slide.name = u"slide";
    slide.morphType = PMXMorphType::UV;
    slide.uvMorph.push_back({5, {0.5f, -0.25f, 9, 9}});
    file.morphs = {lift, slide};
    auto model = ModelRigs::LoadModel(std::move(file));
    ASSERT_TRUE(model);
    const vec3 rest = model->GetRestVertices()[5].position;

    RunFrame(*model, nullptr, 0);
    RunFrame(*model, nullptr, 0);
    const ModelVertex& v = model->GetOutputVertices()[5];
    EXPECT_EQ(v.position, v.previousPosition);
    ExpectVecNear(rest, v.position);

    model->GetMorphManager().GetMorph(0)->SetWeight(0.5f);
    model->GetMorphManager().GetMorph(1)->SetWeight(1.0f);
    model->SetPlacement({0, kPi / 2, 0}, {10, 0, 0});
    RunFrame(*model, nullptr, 0);
    const Math::mat4 placement = Math::RotationY(kPi / 2) * Math::Translation({10, 0, 0});
    ExpectVecNear(rest, v.previousPosition);
    ExpectVecNear(Math::TransformCoord(rest + vec3(0, 0.5f, 0), placement), v.position, 1e-5f);
    ExpectVecNear(Math::TransformNormal({0, 0, 1}, placement), v.normal, 1e-5f);
    EXPECT_FLOAT_EQ(0.25f + 0.5f, v.uv.x);
    EXPECT_FLOAT_EQ(0.5f - 0.25f, v.uv.y);
    // The offsets are cleared each frame: weights back at 0 put the vertex back.
    model->GetMorphManager().GetMorph(0)->SetWeight(0.0f);
    model->GetMorphManager().GetMorph(1)->SetWeight(0.0f);
    RunFrame(*model, nullptr, 0);
    ExpectVecNear(Math::TransformCoord(rest, placement), v.position, 1e-5f);
    EXPECT_FLOAT_EQ(0.25f, v.uv.x);
}

TEST(PMXModelTest, RangesSplitByThousandsOrEqualShares) {
    const struct {
        size_t vertices;
        size_t workers;
        std::vector<size_t> counts;
    } cases[] = {
        {2500, 8, {1000, 1000, 500, 0, 0, 0, 0, 0}},
        {100000, 8, {12500, 12500, 12500, 12500, 12500, 12500, 12500, 12500}},
        {100003, 8, {12503, 12500, 12500, 12500, 12500, 12500, 12500, 12500}},
        {0, 2, {0, 0}},
        {2000, 2, {1000, 1000}},
        {7, 1, {7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vertices);
        const std::vector<UpdateRange> ranges = SplitUpdateRanges(c.vertices, c.workers);
        ASSERT_EQ(c.counts.size(), ranges.size());
        size_t next = 0;
        for (size_t i = 0; i < ranges.size(); ++i) {
            EXPECT_EQ(c.counts[i], ranges[i].vertexCount);
            if (ranges[i].vertexCount == 0) continue;
            EXPECT_EQ(next, ranges[i].vertexOffset);
            next += ranges[i].vertexCount;
        }
        EXPECT_EQ(c.vertices, next);
    }
}

TEST(PMXModelTest, ParallelSkinningMatchesOneWorker) {
    // Small ranges of 1000 (one empty), and equal shares big enough that tasks which finish early
    // take blocks from the others' ranges.
    const struct {
        int vertices;
        std::size_t workers;
    } cases[] = {{3300, 5}, {23001, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vertices);
        PMXFile file = SkinFile();
        const std::vector<PMXVertex> pattern = file.vertices;
        file.vertices.clear();
        for (int i = 0; i < c.vertices; ++i) {
            PMXVertex v = pattern[i % pattern.size()];
            v.position = v.position + vec3(0.001f * i, 0, 0);
            file.vertices.push_back(v);
        }
        auto one = ModelRigs::LoadModel(file);
        auto many = ModelRigs::LoadModel(file);
        ASSERT_TRUE(one && many);
        one->SetWorkerCount(1);
        many->SetWorkerCount(c.workers);
        for (int frame = 0; frame < 3; ++frame) {
            PoseSkinModel(*one);
            PoseSkinModel(*many);
        }
        ASSERT_EQ(c.workers, many->GetUpdateRanges().size());
        if (c.vertices == 3300) {
            EXPECT_EQ(300u, many->GetUpdateRanges()[3].vertexCount);
            EXPECT_EQ(0u, many->GetUpdateRanges()[4].vertexCount);
        }
        for (std::size_t i = 0; i < file.vertices.size(); ++i) {
            ASSERT_EQ(one->GetOutputVertices()[i].position, many->GetOutputVertices()[i].position) << i;
            ASSERT_EQ(one->GetOutputVertices()[i].previousPosition, many->GetOutputVertices()[i].previousPosition) << i;
            ASSERT_EQ(one->GetOutputVertices()[i].normal, many->GetOutputVertices()[i].normal) << i;
        }
    }
}

TEST(PMXModelTest, LoadFlipsFacesKeepsTheOriginInTheBoundsAndResolvesTextures) {
    PMXFile file;
    file.bones.push_back(Bone(u"b0", {0, 0, 0}, -1));
    for (vec3 p : {vec3(1, 6, 2), vec3(2, 7, 3), vec3(3, 8, -4)}) {
        file.vertices.push_back(Vertex(p, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
    }
    file.faces.push_back({{0, 1, 2}});
    file.faces.push_back({{0, 1, 3}});  // names a vertex that isn't there
    file.textures = {u"./skin.png", u"../shared/toon.bmp"};
    PMXMaterial material;
    material.name = u"body";
    material.numFaceVertices = 3;
    PMXMaterial greedy = material;
    greedy.name = u"greedy";
    greedy.numFaceVertices = 300;
    file.materials = {material, greedy};
    MessageLog::Instance().TakeAll();
    auto model = std::make_shared<PMXModel>();
    ASSERT_TRUE(model->Load(std::move(file), u"/models/m/model.pmx"));

    EXPECT_EQ((std::vector<uint32_t>{2, 1, 0, 0, 0, 0}), model->GetIndices());
    EXPECT_NE(std::u16string::npos, MessageLog::Instance().TakeAll().find(u"1 faces"));
    EXPECT_EQ(vec3(0, 0, -4), model->GetBoundsMin());
    EXPECT_EQ(vec3(3, 8, 3), model->GetBoundsMax());
    EXPECT_EQ((std::vector<std::u16string>{u"/models/m/skin.png", u"/models/m/../shared/toon.bmp"}),
              model->GetTexturePaths());
    ASSERT_EQ(2u, model->GetMaterials().size());
    EXPECT_EQ(0u, model->GetMaterials()[0].beginIndex);
    EXPECT_EQ(3u, model->GetMaterials()[0].indexCount);
    EXPECT_EQ(3u, model->GetMaterials()[1].beginIndex);
    EXPECT_EQ(3u, model->GetMaterials()[1].indexCount);  // cut to the list
    EXPECT_EQ(vec3(3, 8, -4), model->GetOutputVertices()[2].position);
}

TEST(PMXModelTest, LoadsTheSampleAndReportsUnreadableFiles) {
    PMXModel model;
    ASSERT_TRUE(model.Load(u"<Sample>"));
    EXPECT_FALSE(model.GetOutputVertices().empty());
    EXPECT_EQ(model.GetRestVertices().size(), model.GetOutputVertices().size());
    RunFrame(model, nullptr, 0);
    ExpectVecNear(model.GetRestVertices()[0].position, model.GetOutputVertices()[0].position);

    MessageLog::Instance().TakeAll();
    EXPECT_FALSE(model.Load(u"/nonexistent/dir/model.pmx"));
    EXPECT_FALSE(MessageLog::Instance().TakeAll().empty());
    EXPECT_TRUE(model.GetOutputVertices().empty());
    RunFrame(model, nullptr, 0);  // an empty model updates without harm
}

}  // namespace

namespace {

TEST(PMXModelTest, PhysicsBonesLagBehindAMoveAndResetPutsThemBack) {
    const TestSupport::PhysicsRig rig = TestSupport::MakeHairAndSkirtRig();
    PMXFile file;
    file.bones = rig.bones;
    file.rigidBodies = rig.rigidBodies;
    file.joints = rig.joints;
    auto model = ModelRigs::LoadModel(std::move(file));
    ASSERT_TRUE(model);
    ASSERT_NE(nullptr, model->GetPhysics());
    model->ResetPose();
    const MMDNodeManager& nodes = model->GetNodeManager();
    const size_t hairTip = 3 + 5;  // the last link of the first hair strand
    const vec3 head = nodes.GetNode(2)->GetGlobalTransform().Translation();
    const vec3 tip = nodes.GetNode(hairTip)->GetGlobalTransform().Translation();

    // The whole model jumps 5 units along x in one frame: the head follows at once, the hair
    // trails behind.
    auto frame = [&](bool reset) {
        model->BeginAnimation();
        nodes.GetNode(0)->SetAnimateTranslate({5, 0, 0});
        model->UpdateMorphsAndNodes();
        model->EndUpdate();
        if (reset) {
            model->ResetPhysics();
        } else {
            model->StepPhysics(1.0f / 30.0f);
        }
        model->UpdateVertices();
    };
    frame(false);
    ExpectVecNear(head + vec3(5, 0, 0), nodes.GetNode(2)->GetGlobalTransform().Translation(), 1e-4f);
    EXPECT_LT(nodes.GetNode(hairTip)->GetGlobalTransform().Translation().x, tip.x + 4.0f);

    frame(true);
    ExpectVecNear(tip + vec3(5, 0, 0), nodes.GetNode(hairTip)->GetGlobalTransform().Translation(), 1e-3f);
}

}  // namespace
