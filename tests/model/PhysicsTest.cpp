#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <btBulletDynamicsCommon.h>

#include "core/MessageLog.h"
#include "model/physics/BulletConvert.h"
#include "model/physics/MMDFilterCallback.h"
#include "model/physics/MMDMotionState.h"
#include "model/skeleton/MMDNodeManager.h"
#include "model/physics/ModelPhysics.h"
#include "model/PMXModel.h"
#include "model/skeleton/PMXNode.h"
#include "tests/support/PhysicsRigs.h"

using namespace Vesma;
using Math::mat4;
using Math::quat;
using Math::vec3;

namespace {

constexpr float kFrame = 1.0f / 60.0f;
constexpr uint16_t kAllGroups = 0xFFFF;

PMXBone Bone(const char16_t* name, vec3 position, int32_t parent) {
    PMXBone bone;
    bone.name = name;
    bone.position = position;
    bone.parentBoneIndex = parent;
    bone.appendBoneIndex = -1;
    return bone;
}

PMXRigidBody Body(int32_t bone, PMXRigidBodyShape shape, vec3 size, vec3 position, PMXRigidBodyOperation op,
                  float mass = 1.0f, uint8_t group = 0, uint16_t mask = kAllGroups) {
    PMXRigidBody body;
    body.name = u"body";
    body.boneIndex = bone;
    body.shape = shape;
    body.shapeSize = size;
    body.translate = position;
    body.mass = mass;
    body.friction = 0.5f;
    body.op = op;
    body.group = group;
    body.collisionGroup = mask;
    return body;
}

PMXRigidBody Sphere(int32_t bone, float radius, vec3 position, PMXRigidBodyOperation op, uint8_t group = 0,
                    uint16_t mask = kAllGroups) {
    return Body(bone, PMXRigidBodyShape::Sphere, {radius, 0, 0}, position, op, 1.0f, group, mask);
}

PMXRigidBody Cube(int32_t bone, float half, vec3 position, PMXRigidBodyOperation op, uint8_t group = 0,
                  uint16_t mask = kAllGroups) {
    return Body(bone, PMXRigidBodyShape::Box, {half, half, half}, position, op, 1.0f, group, mask);
}

PMXJoint Joint(int32_t a, int32_t b, vec3 position) {
    PMXJoint joint;
    joint.name = u"joint";
    joint.rigidbodyAIndex = a;
    joint.rigidbodyBIndex = b;
    joint.translate = position;
    return joint;
}

vec3 Origin(const btRigidBody* body) {
    const btVector3& o = body->getWorldTransform().getOrigin();
    return {o.x(), o.y(), o.z()};
}

bool Finite(const btTransform& t) {
    for (int r = 0; r < 3; ++r) {
        if (!std::isfinite(t.getBasis()[r].x()) || !std::isfinite(t.getBasis()[r].y()) ||
            !std::isfinite(t.getBasis()[r].z())) {
            return false;
        }
    }
    const btVector3& o = t.getOrigin();
    return std::isfinite(o.x()) && std::isfinite(o.y()) && std::isfinite(o.z());
}

void ExpectVecNear(vec3 expected, vec3 actual, float eps) {
    EXPECT_NEAR(expected.x, actual.x, eps);
    EXPECT_NEAR(expected.y, actual.y, eps);
    EXPECT_NEAR(expected.z, actual.z, eps);
}

void ExpectTransformNear(const btTransform& expected, const btTransform& actual, float eps) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(expected.getBasis()[r][c], actual.getBasis()[r][c], eps) << "basis " << r << c;
        }
        EXPECT_NEAR(expected.getOrigin()[r], actual.getOrigin()[r], eps) << "origin " << r;
    }
}

// A skeleton, its physics, and the per-frame order the model runs: node pass, then physics.
class PhysicsTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }

    bool Build(const std::vector<PMXBone>& bones, const std::vector<PMXRigidBody>& bodies,
               const std::vector<PMXJoint>& joints = {}) {
        SetupPMXNodes(bones, nodes);
        Pose();
        const bool ok = physics.Build(bodies, joints, nodes);
        if (ok) physics.ResetPhysics();
        return ok;
    }

    // The node pass of one frame, with `animate` writing the animate values.
    void Pose(const std::function<void()>& animate = {}) {
        for (const auto& node : nodes.GetNodes()) node->BeginUpdate();
        if (animate) animate();
        for (const auto& node : nodes.GetNodes()) node->ComputeLocalTransform();
        for (const auto& node : nodes.GetNodes()) {
            if (!node->GetParent()) node->UpdateGlobalTransform();
        }
    }

    void Frames(int count, const std::function<void(int)>& animate = {}) {
        for (int i = 0; i < count; ++i) {
            Pose(animate ? [&] { animate(i); } : std::function<void()>{});
            physics.StepPhysics(kFrame);
        }
    }

    btRigidBody* RB(int64_t fileIndex) { return physics.GetRigidBodyByFileIndex(fileIndex)->GetRigidBody(); }
    btDiscreteDynamicsWorld* World() { return physics.GetWorld().GetDynamicsWorld(); }
    PMXNode* N(int i) { return nodes.GetNode(i); }

    MMDNodeManager nodes;
    ModelPhysics physics;
};

}  // namespace

// ---- world ----

TEST_F(PhysicsTest, WorldWithoutBodiesHoldsOnlyTheGround) {
    ASSERT_TRUE(Build({Bone(u"root", {}, -1)}, {}));
    btDiscreteDynamicsWorld* world = World();
    ASSERT_NE(nullptr, world);
    EXPECT_EQ(1, world->getNumCollisionObjects());
    EXPECT_EQ(0, world->getNumConstraints());
    EXPECT_EQ(0xC2F84505u, std::bit_cast<uint32_t>(world->getGravity().y()));

    const btRigidBody* ground = physics.GetWorld().GetGroundBody();
    EXPECT_EQ(ground, world->getCollisionObjectArray()[0]);
    const auto* plane = dynamic_cast<const btStaticPlaneShape*>(ground->getCollisionShape());
    ASSERT_NE(nullptr, plane);
    EXPECT_EQ(btVector3(0, 1, 0), plane->getPlaneNormal());

    EXPECT_EQ(physics.GetWorld().GetFilterCallback(), world->getPairCache()->getOverlapFilterCallback());
    ASSERT_EQ(1u, physics.GetWorld().GetFilterCallback()->m_nonFilteredProxy.size());
    EXPECT_EQ(ground->getBroadphaseProxy(), physics.GetWorld().GetFilterCallback()->m_nonFilteredProxy[0]);
}

TEST(MMDFilterCallbackTest, GroupsAndMasksBothWaysUnlessListed) {
    const btVector3 zero(0, 0, 0);
    struct Case {
        int groupA, maskA, groupB, maskB;
        bool listA, listB, expected;
    };
    const Case cases[] = {
        {1, 2, 2, 1, false, false, true},         // each in the other's mask
        {1, 0xFFFF, 2, 2, false, false, false},  // a takes b, b doesn't take a: one-sided is not enough
        {1, 1, 2, 0xFFFF, false, false, false},
        {4, 0, 4, 0, false, false, false},       // empty masks
        {4, 0, 1 << 15, 0, true, false, true},   // a listed: collides with anything
        {4, 0, 1 << 15, 0, false, true, true},   // either position
        {1 << 31, 1, 1, 1 << 31, false, false, true},
    };
    for (const Case& c : cases) {
        btBroadphaseProxy a(zero, zero, nullptr, c.groupA, c.maskA);
        btBroadphaseProxy b(zero, zero, nullptr, c.groupB, c.maskB);
        MMDFilterCallback filter;
        if (c.listA) filter.m_nonFilteredProxy.push_back(&a);
        if (c.listB) filter.m_nonFilteredProxy.push_back(&b);
        EXPECT_EQ(c.expected, filter.needBroadphaseCollision(&a, &b)) << c.groupA << "/" << c.maskA;
        EXPECT_EQ(c.expected, filter.needBroadphaseCollision(&b, &a)) << c.groupA << "/" << c.maskA;
    }
}

TEST(BulletConvertTest, MatricesKeepTheirMeaning) {
    const mat4 transforms[] = {
        Math::RotationX(0.7f) * Math::Translation({1, 2, 3}),
        Math::RotationY(-1.2f) * Math::RotationZ(0.4f) * Math::Translation({-5, 0, 2}),
        Math::RotationQuaternion(Math::Normalize(quat{0.3f, -0.2f, 0.5f, 0.8f})),
    };
    const vec3 points[] = {{1, 0, 0}, {0, 1, 0}, {0.3f, -2, 5}};
    for (const mat4& m : transforms) {
        const btTransform t = ToBtTransform(m);
        for (const vec3& p : points) {
            const btVector3 q = t * ToBtVector(p);
            ExpectVecNear(Math::TransformPoint(p, m), {q.x(), q.y(), q.z()}, 1e-5f);
        }
        EXPECT_EQ(m, FromBtTransform(t));
    }
}

// ---- rigid-body creation ----

TEST_F(PhysicsTest, RigidBodiesTakeShapeMassAndSettingsFromTheFile) {
    struct Case {
        PMXRigidBodyShape shape;
        vec3 size;
        PMXRigidBodyOperation op;
        float mass;
        float expectedInvMass;
        bool kinematic;
    };
    const Case cases[] = {
        {PMXRigidBodyShape::Sphere, {0.5f, 9, 9}, PMXRigidBodyOperation::Static, 5.0f, 0.0f, true},
        {PMXRigidBodyShape::Box, {0.5f, 1.0f, 1.5f}, PMXRigidBodyOperation::Dynamic, 2.0f, 0.5f, false},
        {PMXRigidBodyShape::Capsule, {0.25f, 2.0f, 9}, PMXRigidBodyOperation::DynamicAndBoneMerge, 4.0f, 0.25f, false},
        {PMXRigidBodyShape::Sphere, {1, 0, 0}, PMXRigidBodyOperation::Dynamic, 0.0f, 0.0f, false},
        {PMXRigidBodyShape::Sphere, {1, 0, 0}, PMXRigidBodyOperation::Dynamic, -3.0f, 0.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(&c - cases));
        const PMXRigidBody pmx = Body(0, c.shape, c.size, {1, 20, 3}, c.op, c.mass, 5, 0x0F0F);
        ModelPhysics local;
        SetupPMXNodes(std::vector<PMXBone>{Bone(u"b", {1, 20, 3}, -1)}, nodes);
        Pose();
        ASSERT_TRUE(local.Build(std::vector<PMXRigidBody>{pmx}, {}, nodes));
        const RigidBodyBinding* binding = local.GetRigidBodyByFileIndex(0);
        const btRigidBody* body = binding->GetRigidBody();

        switch (c.shape) {
            case PMXRigidBodyShape::Sphere:
                EXPECT_EQ(c.size.x, static_cast<const btSphereShape*>(body->getCollisionShape())->getRadius());
                break;
            case PMXRigidBodyShape::Box: {
                const btVector3 half = static_cast<const btBoxShape*>(body->getCollisionShape())->getHalfExtentsWithMargin();
                ExpectVecNear(c.size, {half.x(), half.y(), half.z()}, 1e-6f);
                break;
            }
            case PMXRigidBodyShape::Capsule: {
                const auto* capsule = static_cast<const btCapsuleShape*>(body->getCollisionShape());
                EXPECT_EQ(c.size.x, capsule->getRadius());
                EXPECT_EQ(c.size.y, 2 * capsule->getHalfHeight());
                EXPECT_EQ(1, capsule->getUpAxis());
                break;
            }
        }
        EXPECT_FLOAT_EQ(c.expectedInvMass, body->getInvMass());
        if (c.expectedInvMass > 0) {
            btVector3 inertia;
            body->getCollisionShape()->calculateLocalInertia(c.mass, inertia);
            EXPECT_FLOAT_EQ(1.0f / inertia.x(), body->getInvInertiaDiagLocal().x());
        } else {
            EXPECT_EQ(btVector3(0, 0, 0), body->getInvInertiaDiagLocal());
        }
        EXPECT_EQ(c.kinematic, body->isKinematicObject());
        EXPECT_EQ(DISABLE_DEACTIVATION, body->getActivationState());
        EXPECT_EQ(1 << 5, body->getBroadphaseProxy()->m_collisionFilterGroup);
        EXPECT_EQ(0x0F0F, body->getBroadphaseProxy()->m_collisionFilterMask);
        // The bone sits where the body does, so the offset is the identity; the file space
        // keeps the file's z.
        ExpectVecNear({1, 20, 3}, Origin(body), 1e-5f);
        EXPECT_EQ(N(0), binding->GetNode());
        EXPECT_EQ(c.op == PMXRigidBodyOperation::Static, binding->GetActiveMotionState() == nullptr);
        EXPECT_NE(nullptr, binding->GetKinematicMotionState());
    }
}

// The rest transform turns y first, then x, then z, then moves; model space is file space with
// z negated, and the offset is relative to the bone.
TEST_F(PhysicsTest, RestTransformAndOffsetRelativeToTheBone) {
    PMXRigidBody pmx = Cube(0, 0.5f, {1, 6, 2}, PMXRigidBodyOperation::Static);
    pmx.rotate = {0.3f, -0.8f, 1.1f};
    ASSERT_TRUE(Build({Bone(u"b", {1, 5, 2}, -1)}, {pmx}));
    const RigidBodyBinding* binding = physics.GetRigidBodyByFileIndex(0);

    const quat fileRotation = Math::QuaternionRotationAxis({0, 0, 1}, 1.1f) *
                              Math::QuaternionRotationAxis({1, 0, 0}, 0.3f) *
                              Math::QuaternionRotationAxis({0, 1, 0}, -0.8f);
    const btTransform& world = RB(0)->getWorldTransform();
    for (const vec3 v : {vec3{1, 0, 0}, vec3{0, 1, 0}, vec3{0, 0, 1}}) {
        const vec3 expected = Math::Rotate(v, fileRotation) + vec3{1, 6, 2};
        const btVector3 actual = world * ToBtVector(v);
        ExpectVecNear(expected, {actual.x(), actual.y(), actual.z()}, 1e-5f);
    }
    // Offset applied to the bone's global (model-space position (1, 5, -2)) gives the model-space
    // rest transform, whose position is one unit above the bone.
    ExpectVecNear({0, 1, 0}, binding->GetOffset().Translation(), 1e-5f);
    const mat4 product = binding->GetOffset() * binding->GetInverseOffset();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(r == c ? 1.0f : 0.0f, product.m[r][c], 1e-5f);
}

TEST_F(PhysicsTest, UnknownShapeFailsTheBuild) {
    PMXRigidBody bad = Sphere(0, 1, {0, 1, 0}, PMXRigidBodyOperation::Dynamic);
    bad.shape = static_cast<PMXRigidBodyShape>(3);
    bad.name = u"skirt";
    EXPECT_FALSE(Build({Bone(u"b", {}, -1)}, {Sphere(0, 1, {0, 5, 0}, PMXRigidBodyOperation::Static), bad}));
    EXPECT_EQ(u"Rigid body 1 (skirt) has an unknown shape type 3.\r\n", MessageLog::Instance().Peek());
    physics.Clear();  // what was built before the failure is taken apart cleanly
    EXPECT_EQ(nullptr, World());
}

// Rigid bodies that can't be bound are skipped (the build succeeds) and joints that touch them
// are skipped with them; joints with -1 or the same body twice are skipped without a message.
TEST_F(PhysicsTest, UnboundEntriesAreSkippedAndReported) {
    PMXRigidBody nanBody = Sphere(0, 1, {0, 5, 0}, PMXRigidBodyOperation::Dynamic);
    nanBody.mass = std::nanf("");
    PMXJoint infJoint = Joint(0, 5, {});
    infJoint.rotateUpperLimit.y = INFINITY;
    const std::vector<PMXRigidBody> bodies = {
        Sphere(0, 1, {0, 5, 0}, PMXRigidBodyOperation::Static),    // 0
        Sphere(2, 1, {0, 5, 0}, PMXRigidBodyOperation::Dynamic),   // 1: bone 2 doesn't exist
        Sphere(-2, 1, {0, 5, 0}, PMXRigidBodyOperation::Dynamic),  // 2: negative, not -1
        nanBody,                                                   // 3
        Sphere(-1, 1, {0, 5, 0}, PMXRigidBodyOperation::Dynamic),  // 4: no bone: bound to nothing
        Sphere(1, 1, {0, 3, 0}, PMXRigidBodyOperation::Dynamic),   // 5
    };
    const std::vector<PMXJoint> joints = {
        Joint(0, 5, {}),   // kept
        Joint(0, 1, {}),   // skipped body
        Joint(3, 5, {}),   // skipped body
        Joint(0, 99, {}),  // out of range
        Joint(-7, 0, {}),  // out of range
        infJoint,          // non-finite
        Joint(-1, 0, {}),  // silent
        Joint(4, -1, {}),  // silent
        Joint(5, 5, {}),   // silent
        Joint(4, 0, {}),   // kept
    };
    ASSERT_TRUE(Build({Bone(u"a", {}, -1), Bone(u"b", {0, 3, 0}, 0)}, bodies, joints));

    EXPECT_EQ(3u, physics.GetRigidBodies().size());
    for (int i : {1, 2, 3}) EXPECT_EQ(nullptr, physics.GetRigidBodyByFileIndex(i)) << i;
    EXPECT_EQ(nullptr, physics.GetRigidBodyByFileIndex(4)->GetNode());
    EXPECT_EQ(4, World()->getNumCollisionObjects());
    EXPECT_EQ(2u, physics.GetJoints().size());
    EXPECT_EQ(2, World()->getNumConstraints());
    EXPECT_EQ(u"2 rigid body(s) name a bone that does not exist and were skipped.\r\n"
              u"1 rigid body(s) hold invalid numbers (NaN or infinity) and were skipped.\r\n"
              u"5 joint(s) name a missing or skipped rigid body, or hold invalid numbers, and were skipped.\r\n",
              MessageLog::Instance().Peek());
    Frames(30);
    for (const auto& body : physics.GetRigidBodies()) EXPECT_TRUE(Finite(body->GetRigidBody()->getWorldTransform()));
}

TEST_F(PhysicsTest, BodyWithoutBoneInAModelWithoutBonesIsSkipped) {
    ASSERT_TRUE(Build({}, {Sphere(-1, 1, {0, 5, 0}, PMXRigidBodyOperation::Dynamic)}));
    EXPECT_TRUE(physics.GetRigidBodies().empty());
    EXPECT_EQ(1, World()->getNumCollisionObjects());
}

// A body without a bone starts at its own rest transform even when the first bone, which it
// follows while the physics resets, is away from the origin.
TEST_F(PhysicsTest, BodyWithoutBoneStartsAtItsRestTransform) {
    ASSERT_TRUE(Build({Bone(u"root", {4, 2, 1}, -1)}, {Sphere(-1, 1, {0, 30, -3}, PMXRigidBodyOperation::Dynamic)}));
    ExpectVecNear({0, 30, -3}, Origin(RB(0)), 1e-5f);
    physics.StepPhysics(0.0f);  // no simulation step: the body only takes its state's transform
    ExpectVecNear({0, 30, -3}, Origin(RB(0)), 1e-5f);
    Frames(10);
    EXPECT_LT(Origin(RB(0)).y, 30.0f);
    ExpectVecNear({4, 2, -1}, N(0)->GetGlobalTransform().Translation(), 0.0f);  // the bone is left alone
}

// Simulated nodes are those a dynamic or bone-merge body moves: each once, in body order; a
// kinematic body's bone, a free body and an unknown operation's body move none.
TEST_F(PhysicsTest, SimulatedNodesAreTheBonesOfDynamicBodies) {
    PMXRigidBody unknown = Sphere(4, 0.2f, {0, 5, 0}, PMXRigidBodyOperation::Dynamic);
    unknown.op = static_cast<PMXRigidBodyOperation>(7);
    ASSERT_TRUE(Build({Bone(u"root", {}, -1), Bone(u"a", {0, 2, 0}, 0), Bone(u"b", {0, 3, 0}, 0),
                       Bone(u"c", {0, 4, 0}, 0), Bone(u"d", {0, 5, 0}, 0)},
                      {Sphere(0, 0.2f, {0, 0, 0}, PMXRigidBodyOperation::Static),
                       Sphere(2, 0.2f, {0, 3, 0}, PMXRigidBodyOperation::DynamicAndBoneMerge),
                       Sphere(1, 0.2f, {0, 2, 0}, PMXRigidBodyOperation::Dynamic),
                       Sphere(2, 0.2f, {0, 3.5f, 0}, PMXRigidBodyOperation::Dynamic),
                       Sphere(-1, 0.2f, {0, 9, 0}, PMXRigidBodyOperation::Dynamic), unknown}));
    EXPECT_EQ((std::vector<MMDNode*>{N(2), N(1)}), physics.GetSimulatedNodes());
}

// ---- kinematic bodies ----

TEST_F(PhysicsTest, KinematicBodyFollowsItsBoneExactly) {
    ASSERT_TRUE(Build({Bone(u"root", {}, -1), Bone(u"arm", {0, 5, 2}, 0)},
                      {Cube(1, 0.5f, {0, 5, 2}, PMXRigidBodyOperation::Static)}));
    const quat turn = Math::QuaternionRotationAxis(Math::Normalize(vec3{1, 2, 3}), 0.9f);
    for (int frame = 0; frame < 20; ++frame) {
        const vec3 move{0.1f * frame, 0.05f * frame, -0.2f * frame};  // model space
        Pose([&] {
            N(1)->SetAnimateTranslate(move);
            N(1)->SetAnimateRotate(turn);
        });
        const mat4 boneBefore = N(1)->GetGlobalTransform();
        physics.StepPhysics(kFrame);
        EXPECT_EQ(boneBefore, N(1)->GetGlobalTransform());

        // File space: the bone's model position (0, 5, -2) + move, z negated; the rotation is the
        // bone's, seen through the z mirror.
        const btTransform& t = RB(0)->getWorldTransform();
        ExpectVecNear({move.x, 5 + move.y, 2 - move.z}, Origin(RB(0)), 1e-5f);
        const vec3 v{0.2f, -0.7f, 0.4f};
        const vec3 modelV = Math::Rotate({v.x, v.y, -v.z}, turn);
        const btVector3 fileV = t.getBasis() * ToBtVector(v);
        ExpectVecNear({modelV.x, modelV.y, -modelV.z}, {fileV.x(), fileV.y(), fileV.z()}, 1e-5f);
    }
}

// A kinematic box driven along x shoves a dynamic sphere resting on the ground; the box itself
// keeps to its bone however hard the sphere pushes back.
TEST_F(PhysicsTest, KinematicBodyPushesDynamicBodies) {
    ASSERT_TRUE(Build({Bone(u"root", {}, -1), Bone(u"pusher", {-3, 1, 0}, 0), Bone(u"ball", {0, 1, 0}, -1)},
                      {Cube(1, 1.0f, {-3, 1, 0}, PMXRigidBodyOperation::Static),
                       Sphere(2, 1.0f, {0, 1, 0}, PMXRigidBodyOperation::Dynamic)}));
    Frames(60, [&](int) {});  // settle on the ground
    const float ballStart = Origin(RB(1)).x;
    EXPECT_NEAR(0.0f, ballStart, 0.01f);

    Frames(120, [&](int i) { N(1)->SetAnimateTranslate({0.05f * static_cast<float>(i), 0, 0}); });
    EXPECT_GT(Origin(RB(1)).x, 2.0f);
    EXPECT_EQ(0.05f * 119 - 3, Origin(RB(0)).x);
    EXPECT_NEAR(1.0f, Origin(RB(0)).y, 1e-6f);
    // The pushed ball drives its own bone, from the transform the world last handed its state.
    btTransform reported;
    physics.GetRigidBodyByFileIndex(1)->GetActiveMotionState()->getWorldTransform(reported);
    EXPECT_GT(N(2)->GetGlobalTransform().Translation().x, 2.0f);
    EXPECT_NEAR(reported.getOrigin().x(), N(2)->GetGlobalTransform().Translation().x, 1e-5f);
}

// ---- dynamic bodies ----

// A sphere dropped from y = 10 lands on the ground plane and stays there, and its bone (in model
// space: z negated) follows it down.
TEST_F(PhysicsTest, DynamicBodyFallsOntoTheGroundAndRests) {
    ASSERT_TRUE(Build({Bone(u"ball", {2, 10, 3}, -1)}, {Sphere(0, 1.0f, {2, 10, 3}, PMXRigidBodyOperation::Dynamic)}));
    Frames(300);
    ExpectVecNear({2, 1, 3}, Origin(RB(0)), 0.05f);
    ExpectVecNear({2, 1, -3}, N(0)->GetGlobalTransform().Translation(), 0.05f);
    Frames(600);
    ExpectVecNear({2, 1, 3}, Origin(RB(0)), 0.05f);
    EXPECT_LT(RB(0)->getLinearVelocity().length(), 0.1f);
}

// Operation 1 moves and turns its bone; operation 2 turns it but leaves its position to the
// animation.
TEST_F(PhysicsTest, BoneMergeKeepsTheBonesTranslation) {
    ASSERT_TRUE(Build({Bone(u"dyn", {-3, 6, 1}, -1), Bone(u"merge", {3, 6, 1}, -1)},
                      {Cube(0, 0.5f, {-3, 6, 1}, PMXRigidBodyOperation::Dynamic),
                       Cube(1, 0.5f, {3, 6, 1}, PMXRigidBodyOperation::DynamicAndBoneMerge)}));
    const vec3 animated{0.5f, 0.25f, 0.0f};
    for (int i : {0, 1}) RB(i)->setAngularVelocity(btVector3(0, 0, 4));
    Frames(30, [&](int) { N(1)->SetAnimateTranslate(animated); });

    const mat4& dyn = N(0)->GetGlobalTransform();
    const mat4& merge = N(1)->GetGlobalTransform();
    EXPECT_LT(dyn.Translation().y, 5.0f);                                  // fell with its body
    EXPECT_EQ((vec3{3, 6, -1} + animated), merge.Translation());           // where the animation put it
    EXPECT_LT(Origin(RB(1)).y, 5.0f);                                      // though its body fell
    EXPECT_LT(merge.m[0][0], 0.99f);                                       // and it turned with the body
    EXPECT_NEAR(Math::QuaternionFromMatrix(merge).z, Math::QuaternionFromMatrix(dyn).z, 1e-3f);
}

// Operation 1 with mass 0 is static for the simulation, but it still writes its transform onto
// its bone, overriding the animation.
TEST_F(PhysicsTest, MasslessDynamicBodyStillDrivesItsBone) {
    PMXRigidBody pmx = Sphere(0, 1.0f, {0, 5, 0}, PMXRigidBodyOperation::Dynamic);
    pmx.mass = 0.0f;
    ASSERT_TRUE(Build({Bone(u"b", {0, 5, 0}, -1)}, {pmx}));
    EXPECT_TRUE(RB(0)->isStaticObject());
    Frames(10, [&](int) { N(0)->SetAnimateTranslate({3, 0, 0}); });
    ExpectVecNear({0, 5, 0}, N(0)->GetGlobalTransform().Translation(), 1e-5f);
    ExpectVecNear({0, 5, 0}, Origin(RB(0)), 1e-5f);
}

// ---- groups ----

// A box dropped onto another box: it lands on top only when each group is in the other's mask,
// and the ground stops it whatever its mask says.
TEST_F(PhysicsTest, GroupMasksDecideWhatCollidesAndTheGroundTakesEverything) {
    struct Case {
        uint16_t lowerMask, upperMask;
        float expectedY;
    };
    const Case cases[] = {
        {kAllGroups, kAllGroups, 3.0f},                   // stacked
        {kAllGroups, static_cast<uint16_t>(~1u), 1.0f},   // upper ignores group 0: falls through
        {static_cast<uint16_t>(~2u), kAllGroups, 1.0f},   // lower ignores group 1
        {kAllGroups, 0, 1.0f},                            // collides with nothing but the ground
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.upperMask);
        ModelPhysics local;
        SetupPMXNodes(std::vector<PMXBone>{Bone(u"lower", {0, 1, 0}, -1), Bone(u"upper", {0, 6, 0}, -1)}, nodes);
        Pose();
        ASSERT_TRUE(local.Build(std::vector<PMXRigidBody>{Cube(0, 1, {0, 1, 0}, PMXRigidBodyOperation::Dynamic, 0, c.lowerMask),
                                                          Cube(1, 1, {0, 6, 0}, PMXRigidBodyOperation::Dynamic, 1, c.upperMask)},
                                {}, nodes));
        local.ResetPhysics();
        for (int i = 0; i < 240; ++i) {
            Pose();
            local.StepPhysics(kFrame);
        }
        EXPECT_NEAR(c.expectedY, Origin(local.GetRigidBodyByFileIndex(1)->GetRigidBody()).y, 0.1f);
        EXPECT_NEAR(1.0f, Origin(local.GetRigidBodyByFileIndex(0)->GetRigidBody()).y, 0.1f);
    }
}

// ---- joints ----

TEST_F(PhysicsTest, JointFramesHalvedLimitsAndSprings) {
    PMXJoint joint = Joint(0, 1, {1, 9, 2});
    joint.rotate = {0.1f, 0.2f, 0.3f};
    joint.translateLowerLimit = {-1, -2, -3};
    joint.translateUpperLimit = {1, 2, 3};
    joint.rotateLowerLimit = {-0.2f, -0.4f, -0.6f};
    joint.rotateUpperLimit = {0.2f, 0.4f, 0.6f};
    joint.springTranslateFactor = {0, 5, 0};
    joint.springRotateFactor = {0, 0, 7};
    joint.type = static_cast<PMXJointType>(9);  // not consulted
    ASSERT_TRUE(Build({Bone(u"a", {0, 10, 0}, -1), Bone(u"b", {0, 8, 0}, 0)},
                      {Sphere(0, 0.5f, {0, 10, 0}, PMXRigidBodyOperation::Static),
                       Sphere(1, 0.5f, {0, 8, 0}, PMXRigidBodyOperation::Dynamic)},
                      {joint}));
    ASSERT_EQ(1u, physics.GetJoints().size());
    btGeneric6DofSpringConstraint* c = physics.GetJoints()[0]->GetConstraint();
    EXPECT_EQ(c, World()->getConstraint(0));
    EXPECT_EQ(RB(0), &c->getRigidBodyA());
    EXPECT_EQ(RB(1), &c->getRigidBodyB());
    EXPECT_TRUE(RB(0)->checkCollideWith(RB(1)));  // linked bodies may still collide

    btMatrix3x3 basis;
    basis.setEulerZYX(0.1f, 0.2f, 0.3f);
    const btTransform jointTransform(basis, btVector3(1, 9, 2));
    ExpectTransformNear(jointTransform, RB(0)->getWorldTransform() * c->getFrameOffsetA(), 1e-5f);
    ExpectTransformNear(jointTransform, RB(1)->getWorldTransform() * c->getFrameOffsetB(), 1e-5f);

    const btTranslationalLimitMotor* linear = c->getTranslationalLimitMotor();
    EXPECT_EQ(btVector3(-0.5f, -1, -1.5f), linear->m_lowerLimit);
    EXPECT_EQ(btVector3(0.5f, 1, 1.5f), linear->m_upperLimit);
    const float angular[] = {0.1f, 0.2f, 0.3f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(-angular[i], c->getRotationalLimitMotor(i)->m_loLimit) << i;
        EXPECT_FLOAT_EQ(angular[i], c->getRotationalLimitMotor(i)->m_hiLimit) << i;
    }
    for (int i = 0; i < 6; ++i) EXPECT_EQ(i == 1 || i == 5, c->isSpringEnabled(i)) << i;
    EXPECT_EQ(5.0f, c->getStiffness(1));
    EXPECT_EQ(7.0f, c->getStiffness(5));
}

// A bar hinged at one end to a fixed anchor, free to swing ±0.2 rad about z in the file, sags
// under gravity to 0.1 rad and no further.
TEST_F(PhysicsTest, JointLimitsAreHalfTheFilesValues) {
    PMXJoint hinge = Joint(0, 1, {0, 10, 0});
    hinge.rotateLowerLimit = {0, 0, -0.2f};
    hinge.rotateUpperLimit = {0, 0, 0.2f};
    ASSERT_TRUE(Build({Bone(u"anchor", {0, 10, 0}, -1), Bone(u"bar", {1, 10, 0}, 0)},
                      {Sphere(0, 0.2f, {0, 10, 0}, PMXRigidBodyOperation::Static, 0, 0),
                       Body(1, PMXRigidBodyShape::Box, {1, 0.2f, 0.2f}, {1, 10, 0}, PMXRigidBodyOperation::Dynamic, 1.0f,
                            1, 0)},
                      {hinge}));
    Frames(240);
    const btVector3 tip = RB(1)->getWorldTransform() * btVector3(1, 0, 0);
    EXPECT_NEAR(0.1f, std::atan2(10.0f - tip.y(), tip.x()), 0.01f);
    EXPECT_NEAR(2.0f, std::hypot(tip.x(), 10.0f - tip.y()), 0.01f);
}

// A hair-like strand of eight links hanging from a fixed anchor, starting horizontal, swings
// down, settles, and stays finite and in one piece for 10,000 frames.
TEST_F(PhysicsTest, HangingChainSettlesAndStaysFinite) {
    std::vector<PMXBone> bones = {Bone(u"anchor", {0, 20, 0}, -1)};
    std::vector<PMXRigidBody> bodies = {Sphere(0, 0.3f, {0, 20, 0}, PMXRigidBodyOperation::Static, 0, 0)};
    std::vector<PMXJoint> joints;
    for (int k = 1; k <= 8; ++k) {
        const vec3 p{1.0f * k, 20, 0};
        bones.push_back(Bone(u"link", p, k - 1));
        PMXRigidBody link = Body(k, PMXRigidBodyShape::Capsule, {0.2f, 0.5f, 0}, p, PMXRigidBodyOperation::Dynamic,
                                 1.0f, 1, 0);
        link.rotate = {0, 0, Math::kPi / 2};
        link.translateDimmer = 0.5f;
        link.rotateDimmer = 0.5f;
        bodies.push_back(link);
        PMXJoint j = Joint(k - 1, k, {k - 0.5f, 20, 0});
        j.rotateLowerLimit = {-1, -1, -3};
        j.rotateUpperLimit = {1, 1, 3};
        j.springRotateFactor = {k % 2 ? 10.0f : 0.0f, 0, 0};
        joints.push_back(j);
    }
    ASSERT_TRUE(Build(bones, bodies, joints));
    std::vector<vec3> low(9, vec3{1e9f, 1e9f, 1e9f});
    std::vector<vec3> high(9, vec3{-1e9f, -1e9f, -1e9f});
    for (int block = 0; block < 100; ++block) {
        Frames(100);
        for (const auto& body : physics.GetRigidBodies()) {
            ASSERT_TRUE(Finite(body->GetRigidBody()->getWorldTransform())) << "frame " << block * 100;
        }
        if (block >= 20) {  // after the first 2,000 frames every link keeps its place
            for (int k = 1; k <= 8; ++k) {
                low[k] = Math::Min(low[k], Origin(RB(k)));
                high[k] = Math::Max(high[k], Origin(RB(k)));
            }
        }
    }
    for (int k = 1; k <= 8; ++k) {
        SCOPED_TRACE(k);
        EXPECT_LT(Math::Length(high[k] - low[k]), 0.05f);
        const vec3 p = Origin(RB(k));
        // Hanging straight down: the first link half a unit under its joint on the anchor, each
        // further link a unit under the one before.
        const vec3 above = k == 1 ? vec3{0.5f, 20, 0} : Origin(RB(k - 1));
        const float spacing = k == 1 ? 0.5f : 1.0f;
        EXPECT_NEAR(spacing, Math::Length(p - above), 0.05f);
        EXPECT_NEAR(spacing, above.y - p.y, 0.05f);
        const mat4& bone = N(k)->GetGlobalTransform();
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) EXPECT_TRUE(std::isfinite(bone.m[r][c]));
        EXPECT_NEAR(p.y, bone.Translation().y, 0.05f);            // the bones hang with the bodies
    }
}

// ---- reset and step ----

TEST_F(PhysicsTest, ResetSnapsBodiesBackToTheirBonesWithNoMotion) {
    PMXJoint joint = Joint(1, 2, {0, 9, 0});
    joint.rotateLowerLimit = {-1, -1, -1};
    joint.rotateUpperLimit = {1, 1, 1};
    ASSERT_TRUE(Build({Bone(u"root", {}, -1), Bone(u"a", {0, 10, 0}, 0), Bone(u"b", {0, 8, 0}, 1)},
                      {Sphere(0, 0.5f, {0, 0.5f, 0}, PMXRigidBodyOperation::Static),
                       Sphere(1, 0.5f, {0, 10, 0}, PMXRigidBodyOperation::Dynamic),
                       Sphere(2, 0.5f, {0, 8, 0}, PMXRigidBodyOperation::DynamicAndBoneMerge)},
                      {joint}));
    RB(1)->setAngularVelocity(btVector3(1, 2, 3));
    Frames(120);
    ASSERT_LT(Origin(RB(1)).y, 5.0f);

    // The animation has moved the root since: every body lands on its bone's new pose.
    const vec3 move{2, 1, -1};
    Pose([&] { N(0)->SetAnimateTranslate(move); });
    physics.ResetPhysics();
    const vec3 fileMove{move.x, move.y, -move.z};
    const vec3 expected[] = {vec3{0, 0.5f, 0} + fileMove, vec3{0, 10, 0} + fileMove, vec3{0, 8, 0} + fileMove};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const btRigidBody* body = RB(i);
        ExpectVecNear(expected[i], Origin(body), 1e-4f);
        EXPECT_EQ(btVector3(0, 0, 0), body->getLinearVelocity());
        EXPECT_EQ(btVector3(0, 0, 0), body->getAngularVelocity());
        EXPECT_EQ(btVector3(0, 0, 0), body->getTotalForce());
        EXPECT_EQ(btVector3(0, 0, 0), body->getTotalTorque());
        ExpectVecNear(vec3{expected[i].x, expected[i].y, -expected[i].z} - vec3{0, i == 0 ? 0.5f : 0, 0},
                      N(i)->GetGlobalTransform().Translation(), 1e-4f);
    }
    // Bodies start from rest again: one frame later they have barely moved.
    Pose([&] { N(0)->SetAnimateTranslate(move); });
    physics.StepPhysics(kFrame);
    EXPECT_NEAR(10 + fileMove.y, Origin(RB(1)).y, 0.05f);
}

TEST_F(PhysicsTest, NonFiniteOrNegativeElapsedStepsNothingAndHarmsNothing) {
    ASSERT_TRUE(Build({Bone(u"ball", {0, 10, 0}, -1)}, {Sphere(0, 1.0f, {0, 10, 0}, PMXRigidBodyOperation::Dynamic)}));
    for (float bad : {std::nanf(""), INFINITY, -INFINITY, -1.0f}) {
        Pose();
        physics.StepPhysics(bad);
        EXPECT_EQ(10.0f, Origin(RB(0)).y) << bad;
    }
    Pose();
    physics.StepPhysics(1e30f);  // a huge gap runs the ten steps it may
    EXPECT_LT(Origin(RB(0)).y, 10.0f);
    const float after = Origin(RB(0)).y;
    Frames(5);
    EXPECT_LT(Origin(RB(0)).y, after);
}

TEST_F(PhysicsTest, ClearEmptiesTheWorldInOrder) {
    const TestSupport::PhysicsRig rig = TestSupport::MakeHairAndSkirtRig({2, 3, 2, 3, 4});
    ASSERT_TRUE(Build(rig.bones, rig.rigidBodies, rig.joints));
    Frames(5);
    physics.Clear();
    EXPECT_TRUE(physics.GetRigidBodies().empty());
    EXPECT_TRUE(physics.GetJoints().empty());
    EXPECT_EQ(nullptr, World());
    physics.StepPhysics(kFrame);  // nothing to step, nothing breaks
    physics.ResetPhysics();
    ASSERT_TRUE(physics.Build(rig.rigidBodies, rig.joints, nodes));  // and it builds again
    EXPECT_EQ(static_cast<int>(rig.rigidBodies.size()) + 1, World()->getNumCollisionObjects());
}

// Finite but absurd numbers from a hostile file (zero, negative and huge sizes and masses, far-off
// positions, reversed limits, huge stiffness, an unknown operation): the simulation may go wild,
// but it must neither crash nor hang.
TEST_F(PhysicsTest, AbsurdButFiniteValuesDoNotBreakTheSimulation) {
    std::vector<PMXBone> bones = {Bone(u"root", {}, -1)};
    std::vector<PMXRigidBody> bodies;
    std::vector<PMXJoint> joints;
    const float values[] = {0.0f, -2.0f, 1e30f, 1e-30f, 3.0f};
    for (int i = 0; i < 15; ++i) {
        const float v = values[i % 5];
        const vec3 p{0, i % 5 == 2 ? 1e20f : v, 0};
        bones.push_back(Bone(u"b", p, 0));
        PMXRigidBody b = Body(i + 1, static_cast<PMXRigidBodyShape>(i % 3), {v, values[4 - i % 5], v}, p,
                              static_cast<PMXRigidBodyOperation>(i == 14 ? 7 : i % 3), values[(i + 2) % 5]);
        b.rotate = {1e20f, -3, 7};
        b.translateDimmer = -v;
        b.repulsion = 1e10f;
        bodies.push_back(b);
        PMXJoint j = Joint(i, (i + 1) % 15, p);
        j.translateLowerLimit = {1e30f, 5, -1e30f};
        j.translateUpperLimit = {-1e30f, -5, 1e30f};
        j.rotateLowerLimit = {4, -1e30f, 0};
        j.rotateUpperLimit = {-4, 1e30f, 0};
        j.springTranslateFactor = {1e30f, -1e30f, 1e-30f};
        j.springRotateFactor = {-5, 1e38f, 0};
        joints.push_back(j);
    }
    ASSERT_TRUE(Build(bones, bodies, joints));
    EXPECT_EQ(bodies.size(), physics.GetRigidBodies().size());
    Frames(60, [&](int i) { N(0)->SetAnimateTranslate({0, 1e6f * static_cast<float>(i % 3), 0}); });
    physics.ResetPhysics();
    Frames(10);
}

// The reset at the end of a model load rebuilds the skeleton from local transforms; the bones,
// simulated or not, must come out of it in their rest pose.
TEST_F(PhysicsTest, ModelLoadLeavesTheSkeletonAtRest) {
    PMXFile file;
    file.bones = {Bone(u"root", {1, 2, 3}, -1), Bone(u"arm", {1, 7, 3}, 0), Bone(u"tip", {1, 9, 3}, 1)};
    file.rigidBodies = {Sphere(1, 0.5f, {1, 7, 3}, PMXRigidBodyOperation::Dynamic)};
    PMXModel model;
    ASSERT_TRUE(model.Load(std::move(file), u"model"));
    const vec3 expected[] = {{1, 2, -3}, {1, 7, -3}, {1, 9, -3}};
    for (int i = 0; i < 3; ++i) {
        ExpectVecNear(expected[i], model.GetNodeManager().GetNode(i)->GetGlobalTransform().Translation(), 1e-5f);
    }
}
