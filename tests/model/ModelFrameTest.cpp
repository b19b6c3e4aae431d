// The per-frame job: which inputs it refuses, that it runs the model's steps in their order (the
// same bits as the steps called one by one), what each option changes, and the rule that tells the
// engine loop when to reset physics.
#include "model/ModelFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <btBulletDynamicsCommon.h>

#include "model/PMXModel.h"
#include "model/io/VMDFile.h"
#include "model/motion/VMDModelAnimation.h"
#include "model/physics/ModelPhysics.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/support/PhysicsRigs.h"
#include "tests/support/VmdWriter.h"

using namespace Vesma;
using Math::vec3;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The hair and skirt rig with a vertex on the head and one on the tip of every hair strand, and a
// motion that carries the whole model 6 units along x over 30 frames.
struct HairScene {
    std::shared_ptr<PMXModel> model;
    VMDModelAnimation motion;

    HairScene() {
        const TestSupport::PhysicsRig rig = TestSupport::MakeHairAndSkirtRig({4, 4, 4, 3, 4});
        PMXFile file;
        file.bones = rig.bones;
        file.rigidBodies = rig.rigidBodies;
        file.joints = rig.joints;
        for (int32_t b = 2; b < static_cast<int32_t>(file.bones.size()); ++b) {
            const vec3 p = file.bones[b].position;
            file.vertices.push_back(
                ModelRigs::Vertex({p.x, p.y, -p.z}, PMXVertexWeight::BDEF1, {b, -1, -1, -1}, {1, 0, 0, 0}));
        }
        model = ModelRigs::LoadModel(std::move(file));
        if (!model) return;
        motion.Bind(model);
        VMDFile vmd;
        vmd.boneKeys = {TestSupport::MakeBoneKey("root", 0), TestSupport::MakeBoneKey("root", 30, {6, 0, 0})};
        motion.AddMotion(vmd);
        model->ResetPose();
    }

    ModelFrame Frame(float frame, PhysicsStep physics = PhysicsStep::Step) {
        ModelFrame job;
        job.model = model.get();
        job.animation = &motion;
        job.frame = frame;
        job.physics = physics;
        job.physicsSeconds = 1.0f / 30.0f;
        return job;
    }

    vec3 Bone(int index) const { return model->GetNodeManager().GetNode(index)->GetGlobalTransform().Translation(); }
};

bool SameBits(const void* a, const void* b, std::size_t size) { return std::memcmp(a, b, size) == 0; }

TEST(ModelFrameTest, ValidateRefusesEveryIncompleteOrNonFiniteInput) {
    HairScene scene;
    ASSERT_TRUE(scene.model);
    HairScene other;
    ASSERT_TRUE(other.model);

    const ModelFrame good = scene.Frame(3.0f);
    EXPECT_TRUE(good.Validate());
    ModelFrame modelOnly;
    modelOnly.model = scene.model.get();
    EXPECT_TRUE(modelOnly.Validate());  // no motion, zero seconds: a rest-pose frame

    struct Case {
        const char* what;
        void (*spoil)(ModelFrame&);
    };
    const Case cases[] = {
        {"no model", [](ModelFrame& f) { f.model = nullptr; }},
        {"NaN frame", [](ModelFrame& f) { f.frame = kNaN; }},
        {"infinite frame", [](ModelFrame& f) { f.frame = -kInf; }},
        {"NaN weight", [](ModelFrame& f) { f.weight = kNaN; }},
        {"NaN seconds", [](ModelFrame& f) { f.physicsSeconds = kNaN; }},
        {"infinite seconds", [](ModelFrame& f) { f.physicsSeconds = kInf; }},
        {"negative seconds", [](ModelFrame& f) { f.physicsSeconds = -1e-6f; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelFrame job = good;
        c.spoil(job);
        EXPECT_FALSE(job.Validate());
    }
    // A motion that drives another model would pose that one instead.
    ModelFrame foreign = good;
    foreign.animation = &other.motion;
    EXPECT_FALSE(foreign.Validate());
}

TEST(ModelFrameTest, AnInvalidFrameLeavesTheModelAsItWas) {
    HairScene scene;
    ASSERT_TRUE(scene.model);
    scene.Frame(10.0f).Run();
    const std::vector<ModelVertex> before = scene.model->GetOutputVertices();
    const vec3 root = scene.Bone(0);

    ModelFrame job = scene.Frame(20.0f);
    job.physicsSeconds = -1.0f;
    job.Run();
    EXPECT_EQ(root, scene.Bone(0));
    EXPECT_TRUE(SameBits(before.data(), scene.model->GetOutputVertices().data(), before.size() * sizeof(ModelVertex)));
}

// The same frames through the job and through the model's steps one by one, with a physics reset
// in the middle: every bone and every vertex ends with the same bits.
TEST(ModelFrameTest, RunsTheModelStepsInOrder) {
    HairScene byJob;
    HairScene byHand;
    ASSERT_TRUE(byJob.model && byHand.model);
    const struct {
        float frame;
        PhysicsStep physics;
    } frames[] = {{0, PhysicsStep::Step}, {4, PhysicsStep::Step}, {9.5f, PhysicsStep::Step},
                  {0, PhysicsStep::Reset}, {12, PhysicsStep::Step}, {13, PhysicsStep::Skip}};
    for (const auto& f : frames) {
        SCOPED_TRACE(f.frame);
        byJob.Frame(f.frame, f.physics).Run();

        PMXModel& model = *byHand.model;
        model.BeginAnimation();
        byHand.motion.Evaluate(f.frame);
        model.UpdateMorphsAndNodes();
        model.EndUpdate();
        if (f.physics == PhysicsStep::Step) model.StepPhysics(1.0f / 30.0f);
        if (f.physics == PhysicsStep::Reset) model.ResetPhysics();
        model.UpdateVertices();

        const auto& a = byJob.model->GetNodeManager().GetNodes();
        const auto& b = byHand.model->GetNodeManager().GetNodes();
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_TRUE(SameBits(&a[i]->GetGlobalTransform(), &b[i]->GetGlobalTransform(), sizeof(Math::mat4))) << i;
        }
        const auto& va = byJob.model->GetOutputVertices();
        const auto& vb = byHand.model->GetOutputVertices();
        ASSERT_EQ(va.size(), vb.size());
        EXPECT_TRUE(SameBits(va.data(), vb.data(), va.size() * sizeof(ModelVertex)));
    }
}

// Stepping lets the hair trail behind a move; skipping leaves the bodies where they were; a reset
// puts the hair back on its bones.
TEST(ModelFrameTest, PhysicsOptionStepsResetsOrLeavesTheWorld) {
    HairScene scene;
    ASSERT_TRUE(scene.model);
    const int hairTip = 3 + 3;  // the last link of the first strand
    const vec3 restTip = scene.Bone(hairTip);
    ModelPhysics& physics = *scene.model->GetPhysics();
    const btRigidBody* firstHairBody = nullptr;
    for (const auto& binding : physics.GetRigidBodies()) {
        if (binding->GetNode() == scene.model->GetNodeManager().GetNode(hairTip)) firstHairBody = binding->GetRigidBody();
    }
    ASSERT_NE(nullptr, firstHairBody);

    scene.Frame(30.0f).Run();  // the model jumps 6 along x in one frame
    EXPECT_NEAR(6.0f, scene.Bone(0).x, 1e-5f);
    EXPECT_LT(scene.Bone(hairTip).x, restTip.x + 5.0f);  // the hair lags

    const btTransform held = firstHairBody->getWorldTransform();
    scene.Frame(30.0f, PhysicsStep::Skip).Run();
    EXPECT_TRUE(SameBits(&held, &firstHairBody->getWorldTransform(), sizeof(btTransform)));

    scene.Frame(30.0f, PhysicsStep::Reset).Run();
    const vec3 tip = scene.Bone(hairTip);
    EXPECT_NEAR(restTip.x + 6.0f, tip.x, 1e-3f);
    EXPECT_NEAR(restTip.y, tip.y, 1e-3f);
    EXPECT_NEAR(restTip.z, tip.z, 1e-3f);
}

TEST(ModelFrameTest, WeightBlendsFromTheBasePoseAndNoMotionMeansRest) {
    HairScene scene;
    ASSERT_TRUE(scene.model);
    ModelFrame job = scene.Frame(30.0f, PhysicsStep::Skip);
    job.weight = 0.25f;
    job.Run();
    EXPECT_NEAR(1.5f, scene.Bone(0).x, 1e-5f);  // a quarter of the way from the cleared base

    job.animation = nullptr;
    job.Run();
    EXPECT_EQ(vec3(), scene.Bone(0));
}

TEST(ModelFrameTest, WithoutSkinningTheOutputVerticesStay) {
    HairScene scene;
    ASSERT_TRUE(scene.model);
    const std::vector<ModelVertex> rest = scene.model->GetOutputVertices();
    ModelFrame job = scene.Frame(30.0f, PhysicsStep::Skip);
    job.skin = false;
    job.Run();
    EXPECT_TRUE(SameBits(rest.data(), scene.model->GetOutputVertices().data(), rest.size() * sizeof(ModelVertex)));
    EXPECT_NEAR(6.0f, scene.Bone(0).x, 1e-5f);  // the bones moved all the same

    job.skin = true;
    job.Run();
    EXPECT_NEAR(rest[0].position.x + 6.0f, scene.model->GetOutputVertices()[0].position.x, 1e-4f);
}

TEST(ModelFrameTest, TheObserverHearsEveryPhaseOnceInOrder) {
    struct Recorder : ModelFrameObserver {
        std::vector<ModelFramePhase> phases;
        void PhaseDone(ModelFramePhase phase) override { phases.push_back(phase); }
    };
    HairScene scene;
    ASSERT_TRUE(scene.model);
    const std::vector<ModelFramePhase> all = {ModelFramePhase::Motion, ModelFramePhase::Nodes,
                                              ModelFramePhase::Physics, ModelFramePhase::Skinning};
    for (const bool skip : {false, true}) {
        Recorder recorder;
        ModelFrame job = scene.Frame(5.0f, skip ? PhysicsStep::Skip : PhysicsStep::Step);
        job.skin = !skip;
        job.Run(recorder);
        EXPECT_EQ(all, recorder.phases) << skip;
    }
    Recorder refused;
    ModelFrame bad = scene.Frame(kNaN);
    bad.Run(refused);
    EXPECT_TRUE(refused.phases.empty());
}

// Times per update, and what the rule says for each (S step, R reset):
//   0 0 0          S S S   (playback never left the start)
//   0 1 2 0 0 3 0  S S S R S S R
//   -2 0           S R     (any time but 0 counts as having left the start)
//   1 -1 0         S S R   (only 0 itself is the start)
TEST(PhysicsResetRuleTest, ResetsWhenPlaybackReturnsToTheStartOrWhenAsked) {
    const PhysicsStep S = PhysicsStep::Step;
    const PhysicsStep R = PhysicsStep::Reset;
    const struct {
        std::vector<double> times;
        std::vector<PhysicsStep> expected;
    } cases[] = {
        {{0, 0, 0}, {S, S, S}},
        {{0, 1, 2, 0, 0, 3, 0}, {S, S, S, R, S, S, R}},
        {{-2, 0}, {S, R}},
        {{1, -1, 0}, {S, S, R}},
        {{1e-9, 0}, {S, R}},
    };
    for (const auto& c : cases) {
        PhysicsResetRule rule;
        for (std::size_t i = 0; i < c.times.size(); ++i) {
            EXPECT_EQ(c.expected[i], rule.Next(c.times[i], false)) << "update " << i << " at " << c.times[i];
        }
    }

    // A request resets whatever the time, and the time is remembered all the same.
    PhysicsResetRule rule;
    EXPECT_EQ(R, rule.Next(0, true));
    EXPECT_EQ(R, rule.Next(5, true));
    EXPECT_EQ(R, rule.Next(0, false));  // the request's update was at 5
    EXPECT_EQ(S, rule.Next(0, false));
}

}  // namespace
