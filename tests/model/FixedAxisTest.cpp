#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "model/PMXModel.h"
#include "model/io/VMDFile.h"
#include "model/motion/VMDModelAnimation.h"
#include "model/skeleton/FixedAxis.h"
#include "model/skeleton/PMXNode.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/support/VmdWriter.h"

using namespace Vesma;
using Math::quat;
using Math::vec3;
using ModelRigs::Bone;

namespace {

constexpr uint16_t kFixedAxisFlag = 0x0400;

// The twist bone's axis: stored in the file as (0, 0.6, 0.8), (0, 0.6, -0.8) in model space.
const vec3 kTwistAxis(0, 0.6f, -0.8f);

void ExpectVecNear(const vec3& expected, const vec3& actual, float tolerance = 1e-5f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// q and -q are the same rotation.
void ExpectSameRotation(const quat& expected, const quat& actual, float tolerance = 1e-5f) {
    const float sign = Math::Dot(expected, actual) < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(expected.x, sign * actual.x, tolerance);
    EXPECT_NEAR(expected.y, sign * actual.y, tolerance);
    EXPECT_NEAR(expected.z, sign * actual.z, tolerance);
    EXPECT_NEAR(expected.w, sign * actual.w, tolerance);
}

quat Negated(const quat& q) { return {-q.x, -q.y, -q.z, -q.w}; }

// A model-space rotation as a bone key stores it (the file's z is mirrored).
quat FileRotation(const quat& model) { return {-model.x, -model.y, model.z, model.w}; }

// root; "twist" at (0, 1, 0) turning about kTwistAxis with its child "tip" at (0, 2, 0); "still",
// flagged with a zero axis; "free", with axis data but without the flag. A bone morph "lean" turns
// the twist bone about x by 0.5. With `withIK`, an IK bone at (1, 1, 0) pulls the tip by turning
// the twist bone.
PMXFile FixedAxisFile(bool withIK) {
    PMXFile file;
    file.bones.push_back(Bone(u"root", {0, 0, 0}, -1));
    PMXBone twist = Bone(u"twist", {0, 1, 0}, 0);
    twist.boneFlag = kFixedAxisFlag;
    twist.fixedAxis = {0, 0.6f, 0.8f};
    file.bones.push_back(twist);
    file.bones.push_back(Bone(u"tip", {0, 2, 0}, 1));
    PMXBone still = Bone(u"still", {2, 0, 0}, 0);
    still.boneFlag = kFixedAxisFlag;
    file.bones.push_back(still);
    PMXBone free = Bone(u"free", {4, 0, 0}, 0);
    free.fixedAxis = {1, 0, 0};
    file.bones.push_back(free);
    if (withIK) file.bones.push_back(ModelRigs::IKBone(u"ik", {1, 1, 0}, 0, 2, 1, 16));
    file.vertices.push_back(ModelRigs::Vertex({0, 0, 0}, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
    PMXMorph lean;
    lean.name = u"lean";
    lean.morphType = PMXMorphType::Bone;
    lean.boneMorph = {{1, {0, 0, 0}, FileRotation(Math::QuaternionRotationAxis({1, 0, 0}, 0.5f))}};
    file.morphs.push_back(lean);
    return file;
}

struct Rig {
    std::shared_ptr<PMXModel> model;
    VMDModelAnimation motion;
    explicit Rig(bool withIK = false) : model(ModelRigs::LoadModel(FixedAxisFile(withIK))) { motion.Bind(model); }
    PMXNode* Node(const char16_t* name) const {
        return model->GetNodeManager().GetNode(model->GetNodeManager().FindNodeIndex(name));
    }
    void RunFrame(float frame) {
        model->BeginAnimation();
        motion.Evaluate(frame);
        model->UpdateMorphsAndNodes();
        model->EndUpdate();
    }
};

VMDMotionKey Key(const char* bone, uint32_t frame, const quat& modelRotation) {
    return TestSupport::MakeBoneKey(bone, frame, {}, FileRotation(modelRotation));
}

TEST(FixedAxis, AxisFromTheFileIsMirroredAndNormalised) {
    const float big = 3e38f;
    const float inf = std::numeric_limits<float>::infinity();
    const float h = std::sqrt(0.5f);
    const struct {
        vec3 file, model;
    } cases[] = {
        {{0, 3, 4}, {0, 0.6f, -0.8f}},
        {{0, 0, -2}, {0, 0, 1}},
        {{1e-30f, 0, 1e-30f}, {h, 0, -h}},  // squares that vanish in float
        {{big, big, 0}, {h, h, 0}},         // squares that overflow
        {{0, 0, 0}, {0, 0, 0}},
        {{std::nanf(""), 1, 0}, {0, 0, 0}},
        {{1, std::nanf(""), 0}, {0, 0, 0}},
        {{1, 0, inf}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file.x << " " << c.file.y << " " << c.file.z);
        ExpectVecNear(c.model, FixedAxisFromFile(c.file), 1e-6f);
    }

    // The flag decides, not the axis data.
    Rig rig;
    ASSERT_TRUE(rig.model);
    ASSERT_TRUE(rig.Node(u"twist")->HasFixedAxis());
    ExpectVecNear(kTwistAxis, rig.Node(u"twist")->GetFixedAxis(), 1e-6f);
    ASSERT_TRUE(rig.Node(u"still")->HasFixedAxis());
    EXPECT_EQ(vec3(0, 0, 0), rig.Node(u"still")->GetFixedAxis());
    EXPECT_FALSE(rig.Node(u"free")->HasFixedAxis());
    EXPECT_FALSE(rig.Node(u"root")->HasFixedAxis());
}

TEST(FixedAxis, ReductionKeepsTheAngleAndTakesItsSignFromTheAxis) {
    const vec3 a = Math::Normalize(vec3(1, 2, -2));
    const vec3 across = Math::Normalize(Math::Cross(a, vec3(1, 0, 0)));  // perpendicular to a
    const vec3 leaning = Math::Normalize(a + across * 1.5f);              // 56 degrees off a
    const vec3 against = Math::Normalize(a * -0.3f + across);             // 107 degrees off a
    const struct {
        const char* what;
        quat rotation, expected;
    } cases[] = {
        {"about the axis", Math::QuaternionRotationAxis(a, 0.8f), Math::QuaternionRotationAxis(a, 0.8f)},
        {"leaning off it", Math::QuaternionRotationAxis(leaning, 1.1f), Math::QuaternionRotationAxis(a, 1.1f)},
        {"against it", Math::QuaternionRotationAxis(against, 1.1f), Math::QuaternionRotationAxis(a, -1.1f)},
        {"past half a turn", Math::QuaternionRotationAxis(leaning, 4.0f), Math::QuaternionRotationAxis(a, 4.0f)},
        {"negated quaternion", Negated(Math::QuaternionRotationAxis(against, 2.0f)), Math::QuaternionRotationAxis(a, -2.0f)},
        {"identity", quat::Identity(), quat::Identity()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectSameRotation(c.expected, ReduceToFixedAxis(c.rotation, a));
    }
    // A zero axis allows no turn at all.
    ExpectSameRotation(quat::Identity(), ReduceToFixedAxis(Math::QuaternionRotationAxis(leaning, 1.1f), {0, 0, 0}));
}

// Timeline for "twist":  0 (rest) ---------- 10 (1.2 rad leaning off the axis) ---------- 20 (0.9 rad against it)
TEST(FixedAxis, MotionTurnsAFixedAxisBoneOnlyAboutItsAxis) {
    Rig rig;
    ASSERT_TRUE(rig.model);
    const vec3 across(1, 0, 0);  // perpendicular to kTwistAxis
    const quat leaning = Math::QuaternionRotationAxis(Math::Normalize(kTwistAxis + across * 0.9f), 1.2f);
    const quat against = Math::QuaternionRotationAxis(Math::Normalize(kTwistAxis * -0.5f + across), 0.9f);
    VMDFile vmd;
    vmd.boneKeys = {Key("twist", 0, quat::Identity()), Key("twist", 10, leaning), Key("twist", 20, against),
                    Key("still", 0, leaning), Key("free", 0, leaning)};
    ASSERT_TRUE(rig.motion.AddMotion(vmd));

    const struct {
        float frame;
        quat twist;
    } cases[] = {
        {10, Math::QuaternionRotationAxis(kTwistAxis, 1.2f)},
        {5, Math::QuaternionRotationAxis(kTwistAxis, 0.6f)},  // half way, reduced after the slerp
        {20, Math::QuaternionRotationAxis(kTwistAxis, -0.9f)},
        {0, quat::Identity()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        rig.RunFrame(c.frame);
        ExpectSameRotation(c.twist, rig.Node(u"twist")->GetAnimateRotate());
        // The tip swings about the axis through the twist bone.
        ExpectVecNear(vec3(0, 1, 0) + Math::Rotate({0, 1, 0}, c.twist),
                      rig.Node(u"tip")->GetGlobalTransform().Translation(), 1e-5f);
        ExpectSameRotation(quat::Identity(), rig.Node(u"still")->GetAnimateRotate());
        ExpectSameRotation(leaning, rig.Node(u"free")->GetAnimateRotate());  // no flag: the key as it is
    }
}

TEST(FixedAxis, WeightedBlendIsReducedAfterBlending) {
    Rig rig;
    ASSERT_TRUE(rig.model);
    const quat key = Math::QuaternionRotationAxis(Math::Normalize(vec3(1, 0.6f, -0.8f)), 1.2f);
    VMDFile vmd;
    vmd.boneKeys = {Key("twist", 0, key)};
    ASSERT_TRUE(rig.motion.AddMotion(vmd));
    PMXNode* twist = rig.Node(u"twist");

    rig.model->ClearBaseAnimation();
    rig.motion.Evaluate(0, 0.5f);
    ExpectSameRotation(Math::QuaternionRotationAxis(kTwistAxis, 0.6f), twist->GetAnimateRotate());

    // From a base that leans off the axis: the blend of base and key, as one turn about the axis.
    const quat base = Math::QuaternionRotationAxis({1, 0, 0}, 0.4f);
    twist->SetBaseAnimateRotate(base);
    rig.motion.Evaluate(0, 0.5f);
    const quat blended = Math::Slerp(base, key, 0.5f);
    const vec3 blendAxis = Math::Normalize(vec3(blended.x, blended.y, blended.z));
    const float angle = 2.0f * std::acos(blended.w) * (Math::Dot(blendAxis, kTwistAxis) < 0 ? -1.0f : 1.0f);
    ExpectSameRotation(Math::QuaternionRotationAxis(kTwistAxis, angle), twist->GetAnimateRotate());
}

TEST(FixedAxis, IKAndBoneMorphsStillTurnTheBoneFreely) {
    // A bone morph turns the twist bone about x on top of the motion's turn about the axis.
    {
        Rig rig;
        ASSERT_TRUE(rig.model);
        const quat leaning = Math::QuaternionRotationAxis(Math::Normalize(vec3(1, 0.6f, -0.8f)), 1.2f);
        VMDFile vmd;
        vmd.boneKeys = {Key("twist", 0, leaning)};
        vmd.morphKeys = {TestSupport::MakeMorphKey("lean", 0, 1.0f)};
        ASSERT_TRUE(rig.motion.AddMotion(vmd));
        rig.RunFrame(0);
        const quat morph = Math::QuaternionRotationAxis({1, 0, 0}, 0.5f);
        ExpectSameRotation(morph, rig.Node(u"twist")->GetRotate());
        const quat turn = Math::QuaternionRotationAxis(kTwistAxis, 1.2f) * morph;
        ExpectVecNear(vec3(0, 1, 0) + Math::Rotate({0, 1, 0}, turn), rig.Node(u"tip")->GetGlobalTransform().Translation(),
                      1e-5f);
    }
    // The IK turns the twist bone about z to bring the tip to the IK bone, which no turn about
    // the twist axis could reach.
    {
        Rig rig(true);
        ASSERT_TRUE(rig.model);
        VMDFile vmd;
        vmd.boneKeys = {Key("twist", 0, quat::Identity())};
        ASSERT_TRUE(rig.motion.AddMotion(vmd));
        rig.RunFrame(0);
        ExpectVecNear({1, 1, 0}, rig.Node(u"tip")->GetGlobalTransform().Translation(), 1e-4f);
    }
}

}  // namespace
