#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "model/motion/KeySearch.h"
#include "model/ik/MMDIkSolver.h"
#include "model/skeleton/MMDNode.h"
#include "model/io/VMDFile.h"
#include "model/motion/VMDModelAnimation.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/support/VmdWriter.h"

using namespace Vesma;
using Math::quat;
using Math::vec3;
using ModelRigs::Bone;

namespace {

constexpr float kPi = Math::kPi;

// root, arm (0,1,0), tip (0,2,0) and an IK bone "ik" at (1,1,0) that bends the arm towards it;
// one vertex and two position morphs.
PMXFile ArmFile() {
    PMXFile file;
    file.bones.push_back(Bone(u"root", {0, 0, 0}, -1));
    file.bones.push_back(Bone(u"arm", {0, 1, 0}, 0));
    file.bones.push_back(Bone(u"tip", {0, 2, 0}, 1));
    file.bones.push_back(ModelRigs::IKBone(u"ik", {1, 1, 0}, 0, 2, 1, 4));
    file.vertices.push_back(ModelRigs::Vertex({0, 0, 0}, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
    for (const char16_t* name : {u"smile", u"other"}) {
        PMXMorph morph;
        morph.name = name;
        morph.morphType = PMXMorphType::Position;
        morph.positionMorph.push_back({0, {0, 1, 0}});
        file.morphs.push_back(morph);
    }
    return file;
}

struct Rig {
    std::shared_ptr<PMXModel> model = ModelRigs::LoadModel(ArmFile());
    VMDModelAnimation motion;
    MMDNode* Node(const char16_t* name) const {
        return model->GetNodeManager().GetNode(model->GetNodeManager().FindNodeIndex(name));
    }
    MMDMorph* Morph(const char16_t* name) const {
        return model->GetMorphManager().GetMorph(model->GetMorphManager().FindMorphIndex(name));
    }
    MMDIkSolver* Solver() const { return model->GetIKManager().GetIKSolver(0); }
    Rig() { motion.Bind(model); }
};

void ExpectQuatNear(const quat& expected, const quat& actual, float tolerance = 1e-5f) {
    // q and -q are the same rotation.
    const float sign = Math::Dot(expected, actual) < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(expected.x, sign * actual.x, tolerance);
    EXPECT_NEAR(expected.y, sign * actual.y, tolerance);
    EXPECT_NEAR(expected.z, sign * actual.z, tolerance);
    EXPECT_NEAR(expected.w, sign * actual.w, tolerance);
}

void ExpectVecNear(const vec3& expected, const vec3& actual, float tolerance = 1e-5f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

TEST(VMDModelAnimationTest, BoneKeysAreMirroredAndShapedByTheLaterKeysCurves) {
    Rig rig;
    ASSERT_TRUE(rig.model);
    const quat fileRotation = Math::QuaternionRotationAxis(Math::Normalize(vec3(1, 2, 3)), 1.0f);
    VMDFile vmd;
    VMDMotionKey k0 = TestSupport::MakeBoneKey("arm", 10, {1, 2, 3});
    // A steep curve on the first key must not matter: the segment takes the second key's.
    TestSupport::SetBoneKeyCurves(k0, 127, 0, 127, 0);
    VMDMotionKey k1 = TestSupport::MakeBoneKey("arm", 20, {3, 2, -1}, fileRotation);
    TestSupport::SetBoneKeyCurves(k1, {TestSupport::CurveBytes{100, 10, 120, 30}, {}, {}, {}});
    vmd.boneKeys = {k1, k0, TestSupport::MakeBoneKey("no such bone", 5, {9, 9, 9})};
    ASSERT_TRUE(rig.motion.AddMotion(vmd));
    ASSERT_EQ(1u, rig.motion.GetNodeControllers().size());  // the unknown bone is dropped
    EXPECT_EQ(20, rig.motion.MaxKeyFrame());

    const quat mirrored = MirrorVmdRotation(fileRotation);
    ExpectQuatNear({-fileRotation.x, -fileRotation.y, fileRotation.z, fileRotation.w}, mirrored);

    MMDNode* arm = rig.Node(u"arm");
    struct Case {
        float frame;
        vec3 translation;
        quat rotation;
    };
    const float t = 0.55f;  // frame 15.5 between 10 and 20
    const BezierCurve xCurve = BezierCurve::FromBytes(100, 10, 120, 30);
    const Case cases[] = {
        {0.0f, {1, 2, -3}, quat::Identity()},  // before the first key
        {10.0f, {1, 2, -3}, quat::Identity()},
        {15.5f, {1 + 2 * xCurve.Evaluate(t), 2, -3 + 4 * t}, Math::Slerp(quat::Identity(), mirrored, t)},
        {20.0f, {3, 2, 1}, mirrored},
        {400.0f, {3, 2, 1}, mirrored},  // after the last key
        {12.0f, {1 + 2 * xCurve.Evaluate(0.2f), 2, -3 + 4 * 0.2f}, Math::Slerp(quat::Identity(), mirrored, 0.2f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        rig.motion.Evaluate(c.frame);
        ExpectVecNear(c.translation, arm->GetAnimateTranslate(), 1e-4f);
        ExpectQuatNear(c.rotation, arm->GetAnimateRotate(), 1e-4f);
    }
}

// Each channel follows its own curve, whichever channels happen to share one, and the physics
// switch over the first row changes none of them.
TEST(VMDModelAnimationTest, EveryChannelFollowsItsOwnCurve) {
    const BezierCurve a = BezierCurve::FromBytes(100, 10, 120, 30);
    const BezierCurve b = BezierCurve::FromBytes(10, 90, 40, 127);
    const BezierCurve c = BezierCurve::FromBytes(64, 0, 64, 127);
    const BezierCurve curves[][4] = {{a, a, b, c}, {a, b, a, b}, {c, b, b, b}, {a, b, c, a},
                                          {a, a, a, b}, {b, c, a, c}, {a, b, b, c}};
    const quat turn = Math::QuaternionRotationAxis({0, 0, 1}, kPi / 2);  // mirrors to itself
    int round = 0;
    for (const auto& set : curves) {
        Rig rig;
        ASSERT_TRUE(rig.model);
        VMDMotionKey k1 = TestSupport::MakeBoneKey("arm", 10, {4, 8, -12}, turn);
        const auto bytes = [](float v) { return static_cast<uint8_t>(std::lround(v * 127.0f)); };
        std::array<TestSupport::CurveBytes, 4> channels;
        for (int channel = 0; channel < 4; ++channel) {
            const BezierCurve& c = set[channel];
            channels[channel] = {bytes(c.x1), bytes(c.y1), bytes(c.x2), bytes(c.y2)};
        }
        const bool switchSet = (round++ % 2) == 1;
        TestSupport::SetBoneKeyCurves(k1, channels,
                                      switchSet ? TestSupport::kPhysicsSwitchSet : TestSupport::kPhysicsSwitchClear);
        VMDFile vmd;
        vmd.boneKeys = {TestSupport::MakeBoneKey("arm", 0, {0, 0, 0}), k1};
        ASSERT_TRUE(rig.motion.AddMotion(vmd));
        rig.motion.Evaluate(3.0f);
        const float t = 0.3f;
        ExpectVecNear({4 * set[0].Evaluate(t), 8 * set[1].Evaluate(t), 12 * set[2].Evaluate(t)},
                      rig.Node(u"arm")->GetAnimateTranslate(), 1e-4f);
        ExpectQuatNear(Math::Slerp(quat::Identity(), turn, set[3].Evaluate(t)), rig.Node(u"arm")->GetAnimateRotate(), 1e-5f);
    }
}

// Files from the authoring tool hold the physics switch where a single-row reading would find the
// Z and rotation curves' x1. Each channel reads its own row, and only bytes 0, 4, 8 and 12 of it.
TEST(VMDModelAnimationTest, EachChannelReadsItsOwnInterpolationRow) {
    const TestSupport::CurveBytes x{90, 20, 110, 60}, y{10, 100, 30, 127}, z{127, 0, 100, 20}, r{0, 127, 10, 127};
    VMDMotionKey key = TestSupport::MakeBoneKey("arm", 10, {6, -3, 9}, Math::QuaternionRotationAxis({0, 0, 1}, 1.0f));
    TestSupport::SetBoneKeyCurves(key, {x, y, z, r}, TestSupport::kPhysicsSwitchSet);

    // The layout the tool writes: one table, each row shifted one byte further, the switch on top.
    const uint8_t table[16] = {x.x1, y.x1, z.x1, r.x1, x.y1, y.y1, z.y1, r.y1,
                               x.x2, y.x2, z.x2, r.x2, x.y2, y.y2, z.y2, r.y2};
    for (int row = 0; row < 4; ++row) {
        for (int i = 0; i + row < 16; ++i) {
            if (row == 0 && (i == 2 || i == 3)) continue;
            EXPECT_EQ(table[i + row], key.interpolation[16 * row + i]) << "row " << row << " byte " << i;
        }
    }
    EXPECT_EQ(0x63, key.interpolation[2]);
    EXPECT_EQ(0x0F, key.interpolation[3]);

    const BoneKey converted = BoneKeyFromRecord(key);
    const auto curveOf = [](const TestSupport::CurveBytes& c) { return BezierCurve::FromBytes(c.x1, c.y1, c.x2, c.y2); };
    EXPECT_EQ(curveOf(x), converted.txBezier);
    EXPECT_EQ(curveOf(y), converted.tyBezier);
    EXPECT_EQ(curveOf(z), converted.tzBezier);
    EXPECT_EQ(curveOf(r), converted.rotBezier);
    EXPECT_EQ(0x63, converted.physicsSwitch[0]);
    EXPECT_EQ(0x0F, converted.physicsSwitch[1]);

    // Rows set one by one, with bytes between the curve bytes that belong to no curve: only each
    // row's bytes 0, 4, 8 and 12 count.
    const auto row = [](const TestSupport::CurveBytes& c, uint8_t filler) {
        std::array<uint8_t, 16> bytes;
        bytes.fill(filler);
        bytes[0] = c.x1, bytes[4] = c.y1, bytes[8] = c.x2, bytes[12] = c.y2;
        return bytes;
    };
    VMDMotionKey rows = key;
    TestSupport::SetBoneKeyRow(rows, 0, row(r, 0x0F));  // the rotation's curve in X's row
    TestSupport::SetBoneKeyRow(rows, 1, row(z, 127));
    TestSupport::SetBoneKeyRow(rows, 2, row(y, 0));
    TestSupport::SetBoneKeyRow(rows, 3, row(x, 64));
    const BoneKey fromRows = BoneKeyFromRecord(rows);
    EXPECT_EQ(curveOf(r), fromRows.txBezier);
    EXPECT_EQ(curveOf(z), fromRows.tyBezier);
    EXPECT_EQ(curveOf(y), fromRows.tzBezier);
    EXPECT_EQ(curveOf(x), fromRows.rotBezier);
    EXPECT_EQ(0x0F, fromRows.physicsSwitch[0]);
    EXPECT_EQ(0x0F, fromRows.physicsSwitch[1]);

    // Played back, Z and the rotation follow the curves of their own rows, not a straight line
    // and not a curve shaped by the switch bytes.
    Rig rig;
    ASSERT_TRUE(rig.model);
    VMDFile vmd;
    vmd.boneKeys = {TestSupport::MakeBoneKey("arm", 0, {0, 0, 0}), key};
    ASSERT_TRUE(rig.motion.AddMotion(vmd));
    rig.motion.Evaluate(4.0f);
    const float t = 0.4f;
    const vec3 expected(6 * curveOf(x).Evaluate(t), -3 * curveOf(y).Evaluate(t), -9 * curveOf(z).Evaluate(t));
    ExpectVecNear(expected, rig.Node(u"arm")->GetAnimateTranslate(), 1e-4f);
    EXPECT_GT(std::fabs(-9 * t - expected.z), 1.0f);  // the Z curve is far from a straight line here
    const quat turned = rig.Node(u"arm")->GetAnimateRotate();
    ExpectQuatNear(Math::QuaternionRotationAxis({0, 0, 1}, curveOf(r).Evaluate(t)), turned, 1e-4f);
    EXPECT_GT(curveOf(r).Evaluate(t) - t, 0.2f);
}

TEST(VMDModelAnimationTest, WeightsBlendFromTheBaseAnimation) {
    Rig rig;
    ASSERT_TRUE(rig.model);
    const quat keyRotation = Math::QuaternionRotationAxis({0, 0, 1}, kPi / 2);  // mirrors to itself
    VMDFile vmd;
    vmd.boneKeys = {TestSupport::MakeBoneKey("arm", 0, {2, 0, 0}, keyRotation)};
    vmd.morphKeys = {TestSupport::MakeMorphKey("smile", 0, 1.0f)};
    vmd.ikKeys.push_back({0, 1, {TestSupport::MakeIKInfo("ik", true)}});
    ASSERT_TRUE(rig.motion.AddMotion(vmd));

    MMDNode* arm = rig.Node(u"arm");
    // From the cleared base: half of the key.
    rig.model->ClearBaseAnimation();
    rig.motion.Evaluate(0, 0.5f);
    ExpectQuatNear(Math::QuaternionRotationAxis({0, 0, 1}, kPi / 4), arm->GetAnimateRotate());
    ExpectVecNear({1, 0, 0}, arm->GetAnimateTranslate());
    EXPECT_FLOAT_EQ(0.5f, rig.Morph(u"smile")->GetWeight());

    // From a saved pose: the blend starts there, and IK takes the saved enable below weight 1.
    arm->SetAnimateRotate(Math::QuaternionRotationAxis({0, 0, 1}, -kPi / 6));
    arm->SetAnimateTranslate({0, 4, 0});
    rig.Morph(u"smile")->SetWeight(0.2f);
    rig.Solver()->Enable(false);
    rig.model->SaveBaseAnimation();
    rig.Solver()->Enable(true);
    rig.motion.Evaluate(0, 0.25f);
    ExpectQuatNear(quat::Identity(), arm->GetAnimateRotate());  // a quarter of the way from -30 to 90 degrees
    ExpectVecNear({0.5f, 3, 0}, arm->GetAnimateTranslate());
    EXPECT_FLOAT_EQ(0.2f + 0.25f * 0.8f, rig.Morph(u"smile")->GetWeight());
    EXPECT_FALSE(rig.Solver()->IsEnabled());

    rig.motion.Evaluate(0, 1.0f);
    ExpectQuatNear(keyRotation, arm->GetAnimateRotate());
    EXPECT_TRUE(rig.Solver()->IsEnabled());
}

TEST(VMDModelAnimationTest, IKKeysSwitchTheSolverStepwise) {
    Rig rig;
    ASSERT_TRUE(rig.model);
    VMDFile vmd;
    vmd.ikKeys.push_back({10, 1, {TestSupport::MakeIKInfo("ik", true)}});
    vmd.ikKeys.push_back({0, 1, {TestSupport::MakeIKInfo("ik", false), TestSupport::MakeIKInfo("nope", true)}});
    vmd.ikKeys.push_back({20, 1, {TestSupport::MakeIKInfo("ik", false)}});
    ASSERT_TRUE(rig.motion.AddMotion(vmd));
    ASSERT_EQ(1u, rig.motion.GetIKControllers().size());
    ASSERT_EQ(3u, rig.motion.GetIKControllers()[0]->Keys().size());

    const struct {
        float frame;
        bool enabled;
    } cases[] = {{0, false}, {9.99f, false}, {10, true}, {19.5f, true}, {20, false}, {1000, false}, {5, false}, {-3, false}};
    for (const auto& c : cases) {
        rig.motion.Evaluate(c.frame);
        EXPECT_EQ(c.enabled, rig.Solver()->IsEnabled()) << "frame " << c.frame;
    }
}

TEST(VMDModelAnimationTest, MorphKeysInterpolateLinearlyAndLeaveUnkeyedMorphs) {
    Rig rig;
    ASSERT_TRUE(rig.model);
    VMDFile vmd;
    vmd.morphKeys = {TestSupport::MakeMorphKey("smile", 10, 1.0f), TestSupport::MakeMorphKey("smile", 0, 0.0f),
                     TestSupport::MakeMorphKey("missing", 0, 1.0f)};
    ASSERT_TRUE(rig.motion.AddMotion(vmd));
    ASSERT_EQ(1u, rig.motion.GetMorphControllers().size());
    rig.Morph(u"other")->SetWeight(0.7f);

    const struct {
        float frame;
        float weight;
    } cases[] = {{-1, 0}, {0, 0}, {2.5f, 0.25f}, {7, 0.7f}, {10, 1}, {50, 1}, {2.5f, 0.25f}};
    for (const auto& c : cases) {
        rig.motion.Evaluate(c.frame);
        EXPECT_FLOAT_EQ(c.weight, rig.Morph(u"smile")->GetWeight()) << "frame " << c.frame;
        EXPECT_FLOAT_EQ(0.7f, rig.Morph(u"other")->GetWeight());
    }
}

TEST(VMDModelAnimationTest, SecondMotionMergesIntoTheSameControllers) {
    Rig rig;
    ASSERT_TRUE(rig.model);
    VMDFile first;
    first.boneKeys = {TestSupport::MakeBoneKey("tip", 20, {2, 0, 0}), TestSupport::MakeBoneKey("tip", 0, {0, 0, 0})};
    VMDFile second;
    second.boneKeys = {TestSupport::MakeBoneKey("tip", 10, {10, 0, 0}), TestSupport::MakeBoneKey("arm", 40, {})};
    second.morphKeys = {TestSupport::MakeMorphKey("smile", 5, 1.0f)};
    ASSERT_TRUE(rig.motion.AddMotion(first));
    EXPECT_EQ(20, rig.motion.GetMaxKeyFrame());
    rig.motion.Evaluate(10);  // caches the index of the first file's keys
    ExpectVecNear({1, 0, 0}, rig.Node(u"tip")->GetAnimateTranslate());
    ASSERT_TRUE(rig.motion.AddMotion(second));

    const auto& controllers = rig.motion.GetNodeControllers();
    ASSERT_EQ(2u, controllers.size());
    EXPECT_EQ(u"arm", controllers[0]->GetNode()->GetName());  // by name
    EXPECT_EQ(u"tip", controllers[1]->GetNode()->GetName());
    const auto& keys = controllers[1]->Keys();
    ASSERT_EQ(3u, keys.size());
    EXPECT_EQ(0, keys[0].frame);
    EXPECT_EQ(10, keys[1].frame);
    EXPECT_EQ(20, keys[2].frame);
    EXPECT_EQ(40, rig.motion.GetMaxKeyFrame());

    rig.motion.Evaluate(15);
    ExpectVecNear({6, 0, 0}, rig.Node(u"tip")->GetAnimateTranslate());
    rig.motion.Evaluate(5);
    ExpectVecNear({5, 0, 0}, rig.Node(u"tip")->GetAnimateTranslate());
}

TEST(VMDModelAnimationTest, WarmUpEndsOnTheMotionAndResetPoseGoesBackToRest) {
    Rig rig;
    ASSERT_TRUE(rig.model);
    const quat turn = Math::QuaternionRotationAxis({0, 0, 1}, kPi / 2);
    VMDFile vmd;
    vmd.boneKeys = {TestSupport::MakeBoneKey("root", 0, {0, 0, 0}, turn)};
    vmd.morphKeys = {TestSupport::MakeMorphKey("smile", 0, 0.5f)};
    vmd.ikKeys.push_back({0, 1, {TestSupport::MakeIKInfo("ik", false)}});
    ASSERT_TRUE(rig.motion.AddMotion(vmd));

    // A pose left from before: the warm-up starts from it and ends on the motion.
    rig.Node(u"root")->SetAnimateTranslate({0, 5, 0});
    rig.motion.WarmUpPhysics(0);
    MMDNode* root = rig.Node(u"root");
    ExpectQuatNear(turn, root->GetAnimateRotate());
    ExpectVecNear({0, 0, 0}, root->GetAnimateTranslate());
    ExpectVecNear({0, 5, 0}, root->GetBaseAnimateTranslate());
    EXPECT_FLOAT_EQ(0.5f, rig.Morph(u"smile")->GetWeight());
    EXPECT_FALSE(rig.Solver()->IsEnabled());
    // The pose is applied: the tip, two units up the turned root, lies on -x.
    ExpectVecNear({-2, 0, 0}, rig.Node(u"tip")->GetGlobalTransform().Translation());

    rig.model->ResetPose();
    ExpectQuatNear(quat::Identity(), root->GetAnimateRotate());
    ExpectVecNear({0, 0, 0}, root->GetBaseAnimateTranslate());
    EXPECT_FLOAT_EQ(0.0f, rig.Morph(u"smile")->GetWeight());
    EXPECT_FLOAT_EQ(0.0f, rig.Morph(u"smile")->GetBaseWeight());
    EXPECT_TRUE(rig.Solver()->IsEnabled());
    EXPECT_TRUE(rig.Solver()->GetBaseEnabled());
    // Rest pose with IK on: the IK bends the arm so that the tip reaches the IK bone at (1, 1, 0).
    ExpectVecNear({1, 1, 0}, rig.Node(u"tip")->GetGlobalTransform().Translation(), 1e-4f);

    rig.motion.Evaluate(0);
    ExpectQuatNear(turn, root->GetAnimateRotate());
}

TEST(VMDModelAnimationTest, NonFiniteOrZeroKeyRotationsBecomeIdentity) {
    const float nan = std::nanf("");
    ExpectQuatNear(quat::Identity(), MirrorVmdRotation({0, 0, 0, 0}));
    ExpectQuatNear(quat::Identity(), MirrorVmdRotation({nan, 0, 0, 1}));
    ExpectQuatNear(quat::Identity(), MirrorVmdRotation({0, 0, 0, 2}));
}

TEST(VMDModelAnimationTest, AddMotionWithoutAModelFails) {
    VMDModelAnimation motion;
    VMDFile vmd;
    vmd.boneKeys = {TestSupport::MakeBoneKey("arm", 0)};
    EXPECT_FALSE(motion.AddMotion(vmd));
    motion.Evaluate(0);  // nothing bound, nothing to do
    EXPECT_EQ(0, motion.MaxKeyFrame());
}

}  // namespace

// A controller keeps what it worked out for the span it is in; whatever order the frames come in,
// and after its keys change, it must give bit for bit what a plain evaluation of the keys gives:
// the two keys around the frame, each channel's own curve, Math::Slerp of the rotations.
TEST(VMDModelAnimationTest, ControllerMatchesAPlainEvaluationInAnyFrameOrder) {
    const auto curve = [](float x1, float y1, float x2, float y2) { return BezierCurve{x1, y1, x2, y2}; };
    const BezierCurve line = curve(0, 0, 1, 1);
    const BezierCurve ease = curve(0.5f, 0, 0.5f, 1);
    const BezierCurve overshoot = curve(0.2f, 1.9f, 0.8f, -0.6f);  // leaves 0..1: slerp extrapolates
    std::vector<BoneKey> keys(4);
    const BezierCurve curves[4][4] = {  // tx, ty, tz, rotation
        {line, line, line, line},
        {ease, ease, line, ease},  // x and y share the rotation's curve, z its own
        {overshoot, line, overshoot, overshoot},
        {line, ease, ease, overshoot},
    };
    for (int k = 0; k < 4; ++k) {
        keys[k].frame = k * 10 + (k == 3 ? 25 : 0);
        keys[k].translation = vec3(static_cast<float>(k), 2.0f - static_cast<float>(k * k), 0.5f * static_cast<float>(k));
        keys[k].rotation = Math::QuaternionRotationAxis(Math::Normalize(vec3(1, static_cast<float>(k), 2)), 0.7f * static_cast<float>(k));
        keys[k].txBezier = curves[k][0];
        keys[k].tyBezier = curves[k][1];
        keys[k].tzBezier = curves[k][2];
        keys[k].rotBezier = curves[k][3];
    }
    MMDNode node;
    NodeController controller(&node);
    controller.Keys() = keys;

    const auto plain = [&](float frame, vec3& t, quat& r) {
        const int32_t n = KeySearchFrame(frame);
        size_t i = 0;
        while (i < keys.size() && keys[i].frame <= n) ++i;
        if (i == 0 || i == keys.size()) {
            const BoneKey& key = keys[i == 0 ? 0 : keys.size() - 1];
            t = key.translation;
            r = key.rotation;
            return;
        }
        const BoneKey& k0 = keys[i - 1];
        const BoneKey& k1 = keys[i];
        const float p = KeyProgress(frame, k0.frame, k1.frame);
        t = vec3(k0.translation.x + (k1.translation.x - k0.translation.x) * k1.txBezier.Evaluate(p),
                 k0.translation.y + (k1.translation.y - k0.translation.y) * k1.tyBezier.Evaluate(p),
                 k0.translation.z + (k1.translation.z - k0.translation.z) * k1.tzBezier.Evaluate(p));
        r = Math::Slerp(k0.rotation, k1.rotation, k1.rotBezier.Evaluate(p));
    };
    const auto check = [&](float frame) {
        SCOPED_TRACE(frame);
        controller.Evaluate(frame, 1.0f);
        vec3 t;
        quat r;
        plain(frame, t, r);
        EXPECT_EQ(t, node.GetAnimateTranslate());
        const quat q = node.GetAnimateRotate();
        EXPECT_TRUE(q.x == r.x && q.y == r.y && q.z == r.z && q.w == r.w);
    };

    for (float f = -2.0f; f <= 58.0f; f += 0.75f) check(f);  // forward through every span
    for (float f = 57.5f; f >= -1.0f; f -= 1.25f) check(f);  // backward
    for (float f : {33.0f, 3.0f, 54.9f, 12.5f, 12.6f, 47.0f, 20.0f, 19.99f, 100.0f, 5.0f}) check(f);  // jumps

    // New values for the keys of the span in use: the next evaluation takes them up.
    check(15.0f);
    keys[1].translation = vec3(-4, 4, -4);
    keys[2].rotation = Math::QuaternionRotationAxis(vec3(0, 0, 1), -1.0f);
    keys[2].rotBezier = ease;
    controller.Keys() = keys;
    check(15.0f);
    check(15.5f);
}
