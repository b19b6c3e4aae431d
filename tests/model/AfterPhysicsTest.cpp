// Bones that deform after physics: which bones wait, what a simulated append source passes on once
// physics has run, and whole frames in which followers of a falling body see where it is this
// frame, while bones that follow nothing simulated end exactly where they would without the flag.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/MessageLog.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/io/VMDFile.h"
#include "model/motion/VMDModelAnimation.h"
#include "model/skeleton/AfterPhysicsBones.h"
#include "model/skeleton/MMDNodeManager.h"
#include "model/skeleton/PMXNode.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/support/VmdWriter.h"

using namespace Vesma;
using Math::quat;
using Math::vec3;

namespace {

constexpr uint16_t kAfterPhysics = 0x1000;
constexpr uint16_t kAppendRotate = 0x0100;
constexpr uint16_t kAppendTranslate = 0x0200;

void ExpectVecNear(vec3 expected, vec3 actual, float eps) {
    EXPECT_NEAR(expected.x, actual.x, eps);
    EXPECT_NEAR(expected.y, actual.y, eps);
    EXPECT_NEAR(expected.z, actual.z, eps);
}

PMXBone Flagged(PMXBone bone, uint16_t flags, int32_t appendSource = -1) {
    bone.boneFlag |= flags;
    bone.appendBoneIndex = appendSource;
    bone.appendWeight = appendSource >= 0 ? 1.0f : 0.0f;
    return bone;
}

TEST(AfterPhysicsBonesTest, FlaggedBonesWaitInDeformLayerOrderUnlessABodyDrivesThem) {
    using ModelRigs::Bone;
    const std::vector<PMXBone> bones = {
        Bone(u"root", {0, 0, 0}, -1),
        Flagged(Bone(u"late", {1, 0, 0}, 0, 2), kAfterPhysics),        // 1
        Flagged(Bone(u"early", {2, 0, 0}, 0, 1), kAfterPhysics),       // 2
        Bone(u"plain", {3, 0, 0}, 0, 1),                               // 3
        Flagged(Bone(u"driven", {4, 0, 0}, 0), kAfterPhysics),         // 4: a body moves it
        Flagged(Bone(u"followA", {5, 0, 0}, 0), kAfterPhysics | kAppendRotate, 4),
        Flagged(Bone(u"followB", {6, 0, 0}, 0), kAfterPhysics | kAppendTranslate, 4),
        Flagged(Bone(u"followRoot", {7, 0, 0}, 0), kAfterPhysics | kAppendRotate, 0),
    };
    MMDNodeManager nodes;
    SetupPMXNodes(bones, nodes);
    EXPECT_TRUE(nodes.GetNode(1)->IsDeformAfterPhysics());
    EXPECT_FALSE(nodes.GetNode(3)->IsDeformAfterPhysics());

    std::vector<PMXNode*> sorted;
    for (const auto& node : nodes.GetNodes()) sorted.push_back(node.get());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const PMXNode* a, const PMXNode* b) { return a->GetDeformDepth() < b->GetDeformDepth(); });
    const std::vector<MMDNode*> simulated = {nodes.GetNode(4)};

    AfterPhysicsBones split;
    split.Build(sorted, simulated);
    const auto names = [](const std::vector<PMXNode*>& list) {
        std::vector<std::u16string> out;
        for (const PMXNode* node : list) out.push_back(node->GetName());
        return out;
    };
    EXPECT_FALSE(split.Empty());
    EXPECT_EQ((std::vector<std::u16string>{u"root", u"driven", u"plain"}), names(split.BeforePhysics()));
    EXPECT_EQ((std::vector<std::u16string>{u"followA", u"followB", u"followRoot", u"early", u"late"}),
              names(split.AfterPhysics()));
    // Two followers of one driven bone: it is listed once; the root is no simulated source.
    EXPECT_EQ((std::vector<std::u16string>{u"driven"}), names(split.SimulatedSources()));

    // Without bodies every flagged bone waits, and nothing is a simulated source.
    split.Build(sorted, {});
    EXPECT_EQ(6u, split.AfterPhysics().size());
    EXPECT_TRUE(split.SimulatedSources().empty());

    // Nothing flagged: the list before physics is the sorted list as it stands.
    for (PMXNode* node : sorted) node->EnableDeformAfterPhysics(false);
    split.Build(sorted, simulated);
    EXPECT_TRUE(split.Empty());
    EXPECT_EQ(sorted, split.BeforePhysics());
}

// A simulated source whose local transform physics has set: a follower at weight 1 takes exactly
// that turn, whatever the source's animate and IK values were, and that move less the animation's
// own translation (an append never passes that on). The source's pose values then give its local
// transform again; its animate values stay for the base pose.
TEST(AfterPhysicsBonesTest, ASimulatedSourcePassesOnItsPhysicsPose) {
    using ModelRigs::Bone;
    const std::vector<PMXBone> bones = {
        Bone(u"root", {0, 0, 0}, -1),
        Bone(u"source", {0, 2, 0}, 0),
        Flagged(Bone(u"follower", {3, 0, 0}, 0), kAfterPhysics | kAppendRotate | kAppendTranslate, 1),
    };
    MMDNodeManager nodes;
    SetupPMXNodes(bones, nodes);
    PMXNode* source = nodes.GetNode(1);
    PMXNode* follower = nodes.GetNode(2);
    for (const auto& node : nodes.GetNodes()) node->BeginUpdate();
    const quat animated = Math::QuaternionRotationAxis({1, 0, 0}, 0.4f);
    source->SetAnimateRotate(animated);
    source->SetAnimateTranslate({0.5f, 0, 0});
    source->EnableIK(true);
    source->SetIKRotate(Math::QuaternionRotationAxis({0, 1, 0}, 0.3f));

    // What physics leaves: a turn about z and the bone 1.5 below and 0.25 beside its rest place.
    const quat physicsTurn = Math::QuaternionRotationAxis(Math::Normalize(vec3(0.2f, 0.1f, 1)), 1.1f);
    Math::mat4 local = Math::RotationQuaternion(physicsTurn);
    local.SetTranslation({0.25f, 0.5f, 0});
    source->SetLocalTransform(local);

    std::vector<PMXNode*> sorted;
    for (const auto& node : nodes.GetNodes()) sorted.push_back(node.get());
    const std::vector<MMDNode*> simulated = {source};
    AfterPhysicsBones split;
    split.Build(sorted, simulated);
    split.TakeOnPhysicsPoses();

    follower->UpdateAppendTransform();
    EXPECT_TRUE(std::memcmp(&local, &source->GetLocalTransform(), sizeof(local)) == 0);  // transforms stay
    const quat taken = follower->GetAppendRotate();
    const float dot = taken.x * physicsTurn.x + taken.y * physicsTurn.y + taken.z * physicsTurn.z + taken.w * physicsTurn.w;
    EXPECT_NEAR(1.0f, std::fabs(dot), 1e-5f);
    ExpectVecNear({-0.25f, -1.5f, 0}, follower->GetAppendTranslate(), 1e-5f);
    source->ComputeLocalTransform();
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(local.m[r][c], source->GetLocalTransform().m[r][c], 1e-5f) << r << c;
    }
    EXPECT_EQ(animated, source->GetAnimateRotate());
    EXPECT_EQ(vec3(0.5f, 0, 0), source->GetAnimateTranslate());
}

// Bones (model space): root; ball at (0, 10, 0) on a free falling sphere; follower at (3, 10, 0)
// taking the ball's move (append translate, weight 1); goal at (-1, 10, 0), a child of the ball
// and the IK bone of a two-unit arm from (-3, 10, 0) that points at it; spinner and, taking its
// turn (append rotate), spun at (6, 0, 0) with a tip one unit up. `flag` marks ball, follower,
// goal and spun to deform after physics (the ball, which its body moves, is no bone that waits).
PMXFile FallingBallFile(bool flag) {
    using ModelRigs::Bone;
    const uint16_t after = flag ? kAfterPhysics : 0;
    PMXFile file;
    file.bones.push_back(Bone(u"root", {0, 0, 0}, -1));
    file.bones.push_back(Flagged(Bone(u"ball", {0, 10, 0}, 0), after));  // its body moves it all the same
    file.bones.push_back(Flagged(Bone(u"follower", {3, 10, 0}, 0), after | kAppendTranslate, 1));
    file.bones.push_back(Bone(u"arm", {-3, 10, 0}, 0));
    file.bones.push_back(Bone(u"armTip", {-3, 12, 0}, 3));
    PMXBone goal = ModelRigs::IKBone(u"goal", {-1, 10, 0}, 1, 4, 3, 16);
    goal.boneFlag |= after;
    file.bones.push_back(goal);
    file.bones.push_back(Bone(u"spinner", {6, 0, 0}, 0));
    file.bones.push_back(Flagged(Bone(u"spun", {6, 0, 0}, 0), after | kAppendRotate, 6));
    file.bones.push_back(Bone(u"spunTip", {6, 1, 0}, 7));
    file.vertices.push_back(ModelRigs::Vertex({3, 10, 0}, PMXVertexWeight::BDEF1, {2, -1, -1, -1}, {1, 0, 0, 0}));

    PMXRigidBody ball;
    ball.name = u"ball";
    ball.boneIndex = 1;
    ball.shape = PMXRigidBodyShape::Sphere;
    ball.shapeSize = {0.5f, 0, 0};
    ball.translate = {0, 10, 0};
    ball.mass = 1.0f;
    ball.friction = 0.5f;
    ball.op = PMXRigidBodyOperation::Dynamic;
    ball.collisionGroup = 0xFFFF;
    file.rigidBodies.push_back(ball);
    return file;
}

struct FallingBall {
    std::shared_ptr<PMXModel> model;
    VMDModelAnimation motion;

    explicit FallingBall(bool flag) {
        model = ModelRigs::LoadModel(FallingBallFile(flag));
        if (!model) return;
        motion.Bind(model);
        VMDFile vmd;
        vmd.boneKeys = {TestSupport::MakeBoneKey("spinner", 0, {}, Math::QuaternionRotationAxis({0, 0, 1}, 0.5f))};
        motion.AddMotion(vmd);
    }
    void Run(PhysicsStep physics) const {
        ModelFrame job;
        job.model = model.get();
        job.animation = const_cast<VMDModelAnimation*>(&motion);
        job.physics = physics;
        job.physicsSeconds = 1.0f / 30.0f;
        job.Run();
    }
    vec3 At(int bone) const { return model->GetNodeManager().GetNode(bone)->GetGlobalTransform().Translation(); }
    // How far the arm's tip lies off the line from the arm to the goal.
    float ArmMiss() const {
        const vec3 arm = At(3);
        const vec3 toGoal = Math::Normalize(At(5) - arm);
        const vec3 toTip = Math::Normalize(At(4) - arm);
        return Math::Length(Math::Cross(toGoal, toTip));
    }
};

TEST(AfterPhysicsModelTest, FollowersOfAFallingBodySeeWhereItIsThisFrame) {
    FallingBall flagged(true);
    FallingBall plain(false);
    ASSERT_TRUE(flagged.model && plain.model);
    EXPECT_EQ(3u, flagged.model->GetAfterPhysicsBones().AfterPhysics().size());
    EXPECT_TRUE(plain.model->GetAfterPhysicsBones().Empty());

    float lastHeight = 10.0f;
    for (int frame = 0; frame < 6; ++frame) {
        SCOPED_TRACE(frame);
        flagged.Run(PhysicsStep::Step);
        plain.Run(PhysicsStep::Step);
        const vec3 ball = flagged.At(1);
        EXPECT_LT(ball.y, lastHeight - 0.05f);  // falling, and faster each frame
        lastHeight = ball.y;

        // The same frame's fall, in the bone and in the skinned vertex.
        ExpectVecNear(ball + vec3(3, 0, 0), flagged.At(2), 1e-4f);
        ExpectVecNear(ball + vec3(3, 0, 0), flagged.model->GetOutputVertices()[0].position, 1e-4f);
        // The arm aims at the goal where the ball has taken it.
        ExpectVecNear(ball + vec3(-1, 0, 0), flagged.At(5), 1e-4f);
        EXPECT_LT(flagged.ArmMiss(), 1e-3f);

        // Unflagged, the follower never sees physics and the arm aims where the goal was before it.
        ExpectVecNear({3, 10, 0}, plain.At(2), 1e-5f);
        if (frame > 0) {
            EXPECT_GT(plain.ArmMiss(), 0.01f);
        }
    }

    // A reset puts the ball back on its bone, and the followers with it.
    flagged.Run(PhysicsStep::Reset);
    ExpectVecNear({0, 10, 0}, flagged.At(1), 1e-4f);
    ExpectVecNear({3, 10, 0}, flagged.At(2), 1e-4f);
    EXPECT_LT(flagged.ArmMiss(), 1e-3f);
}

// The spun bone follows no simulated bone: flagged or not it ends with the same bits, and a frame
// that leaves physics alone still gives it its append.
TEST(AfterPhysicsModelTest, ABoneThatFollowsNothingSimulatedEndsAsWithoutTheFlag) {
    for (const PhysicsStep physics : {PhysicsStep::Step, PhysicsStep::Skip, PhysicsStep::Reset}) {
        SCOPED_TRACE(static_cast<int>(physics));
        FallingBall flagged(true);
        FallingBall plain(false);
        ASSERT_TRUE(flagged.model && plain.model);
        flagged.Run(physics);
        plain.Run(physics);
        for (const int bone : {7, 8}) {
            const Math::mat4& a = flagged.model->GetNodeManager().GetNode(bone)->GetGlobalTransform();
            const Math::mat4& b = plain.model->GetNodeManager().GetNode(bone)->GetGlobalTransform();
            EXPECT_TRUE(std::memcmp(&a, &b, sizeof(a)) == 0) << bone;
        }
        // A half-radian turn about z carries the tip from (6, 1, 0).
        ExpectVecNear({6 - std::sin(0.5f), std::cos(0.5f), 0}, flagged.At(8), 1e-5f);
    }
}

// Physics is what the pose starts from after a reset of the whole pose, too.
TEST(AfterPhysicsModelTest, ResetPoseEndsWithTheBonesAfterPhysics) {
    FallingBall flagged(true);
    ASSERT_TRUE(flagged.model);
    flagged.model->ResetPose();
    ExpectVecNear({0, 10, 0}, flagged.At(1), 1e-4f);
    ExpectVecNear({3, 10, 0}, flagged.At(2), 1e-4f);
    EXPECT_LT(flagged.ArmMiss(), 1e-3f);
    ExpectVecNear({6, 1, 0}, flagged.At(8), 1e-5f);  // no motion evaluated: rest
    MessageLog::Instance().Clear();
}

}  // namespace
