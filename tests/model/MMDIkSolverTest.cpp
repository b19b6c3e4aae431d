#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "model/ik/MMDIKManager.h"
#include "model/ik/MMDIkSolver.h"
#include "model/skeleton/MMDNodeManager.h"

using namespace Vesma;
using Math::mat4;
using Math::quat;
using Math::vec3;

namespace {

constexpr float kPi = Math::kPi;
constexpr float kDeg = kPi / 180.0f;
constexpr uint16_t kIKFlag = 0x0020;

// A bone at a model-space position (the file stores z negated).
PMXBone Bone(std::u16string name, vec3 modelPosition, int32_t parent) {
    PMXBone bone;
    bone.name = std::move(name);
    bone.position = {modelPosition.x, modelPosition.y, -modelPosition.z};
    bone.parentBoneIndex = parent;
    return bone;
}

PMXBone IKBone(vec3 goal, int32_t target, std::vector<int32_t> links, int32_t loops, float limitAngle = 2 * kPi) {
    PMXBone bone = Bone(u"ik", goal, -1);
    bone.boneFlag = kIKFlag;
    bone.ikTargetBoneIndex = target;
    bone.ikIterationCount = loops;
    bone.ikLimit = limitAngle;
    for (int32_t l : links) {
        PMXIKLink link;
        link.ikBoneIndex = l;
        bone.ikLinks.push_back(link);
    }
    return bone;
}

// The per-frame node pass without motion: rest pose, then every IK bone solved in bone order.
void Pose(MMDNodeManager& nodes) {
    for (const auto& n : nodes.GetNodes()) n->BeginUpdate();
    for (const auto& n : nodes.GetNodes()) n->ComputeLocalTransform();
    for (const auto& n : nodes.GetNodes()) {
        if (!n->GetParent()) n->UpdateGlobalTransform();
    }
    for (const auto& n : nodes.GetNodes()) {
        if (MMDIkSolver* solver = n->GetIKSolver()) {
            solver->Solve();
            n->UpdateGlobalTransform();
        }
    }
}

vec3 Position(const MMDNodeManager& nodes, int i) { return nodes.GetNode(i)->GetGlobalTransform().Translation(); }

void ExpectVecNear(vec3 expected, vec3 actual, float eps) {
    EXPECT_NEAR(expected.x, actual.x, eps);
    EXPECT_NEAR(expected.y, actual.y, eps);
    EXPECT_NEAR(expected.z, actual.z, eps);
}

void ExpectRotationNear(const mat4& expected, const mat4& actual, float eps = 1e-5f) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(expected.m[r][c], actual.m[r][c], eps) << "m[" << r << "][" << c << "]";
        }
    }
}

mat4 EulerMatrix(vec3 e) { return Math::RotationX(e.x) * Math::RotationY(e.y) * Math::RotationZ(e.z); }

class IkTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }
    void Build(const std::vector<PMXBone>& bones) {
        SetupPMXNodes(bones, nodes);
        SetupPMXIkSolvers(bones, nodes, iks);
    }
    // A chain of unit bones straight up from the origin, its end as the target, and an IK bone at
    // `goal` with the chain's bones as links (nearest the end first).
    void BuildChain(int links, vec3 goal, int32_t loops, float limitAngle = 2 * kPi) {
        std::vector<PMXBone> bones;
        std::vector<int32_t> linkIndices;
        for (int i = 0; i <= links; ++i) {
            bones.push_back(Bone(u"j" + std::u16string(1, u'0' + i), {0, static_cast<float>(i), 0}, i - 1));
        }
        for (int i = links - 1; i >= 0; --i) linkIndices.push_back(i);
        bones.push_back(IKBone(goal, links, linkIndices, loops, limitAngle));
        Build(bones);
    }
    MMDIkSolver& Solver() { return *iks.GetIKSolver(0); }
    // Replaces a link's limits with model-space ones.
    void Limit(int link, vec3 lo, vec3 hi) {
        MMDIkLink& l = Solver().GetLinks()[link];
        l.axisLimit = true;
        l.limitMin = lo;
        l.limitMax = hi;
    }

    // Every global is finite and exactly what an update from the roots gives (nothing stale).
    void ExpectGlobalsUpToDate() {
        std::vector<mat4> solved;
        for (const auto& n : nodes.GetNodes()) solved.push_back(n->GetGlobalTransform());
        for (const auto& n : nodes.GetNodes()) {
            if (!n->GetParent()) n->UpdateGlobalTransform();
        }
        for (size_t i = 0; i < solved.size(); ++i) {
            const mat4& full = nodes.GetNode(static_cast<int64_t>(i))->GetGlobalTransform();
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c) {
                    EXPECT_TRUE(std::isfinite(solved[i].m[r][c])) << "bone " << i;
                    EXPECT_EQ(full.m[r][c], solved[i].m[r][c]) << "bone " << i;
                }
            }
        }
    }

    MMDNodeManager nodes;
    MMDIKManager iks;
};

}  // namespace

// Unit-length chains from the origin. A reachable goal is met; an unreachable one leaves the
// chain straight, its end at full reach towards the goal. The bones keep their lengths either way.
// (Near straight, the bend changes the distance only to second order, so the solve stops once the
// float distance stops shrinking: the inner joints of a stretched chain sit within 1e-3.)
TEST_F(IkTest, ChainsReachOrPointAtTheGoal) {
    struct Case {
        int links;
        vec3 goal;
    };
    const Case cases[] = {
        {2, {1.0f, 1.0f, 0.5f}}, {2, {-0.3f, 0.2f, -1.2f}}, {2, {3.0f, 0.0f, 1.0f}},
        {3, {1.5f, 1.0f, -0.5f}}, {3, {0.2f, -1.0f, 0.4f}}, {3, {-2.0f, 3.0f, 2.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.links << " links, goal " << c.goal.x << "," << c.goal.y << "," << c.goal.z);
        nodes.Clear();
        BuildChain(c.links, c.goal, 200);
        Pose(nodes);
        const float reach = static_cast<float>(c.links);
        const bool reachable = Math::Length(c.goal) < reach;
        const vec3 dir = Math::Normalize(c.goal);
        for (int j = 1; j <= c.links; ++j) {
            EXPECT_NEAR(1.0f, Math::Length(Position(nodes, j) - Position(nodes, j - 1)), 1e-5f);
            if (!reachable) {
                ExpectVecNear(dir * static_cast<float>(j), Position(nodes, j), j == c.links ? 1e-4f : 1e-3f);
            }
        }
        if (reachable) {
            ExpectVecNear(c.goal, Position(nodes, c.links), 1e-4f);
        }
    }
}

// One unlimited link, one iteration: the bone turns towards the goal by the angle between them,
// cut to the step limit. Covers small and large turns, turns the limit cuts, turns close to half
// a turn, and limits of zero or below (which the clamp applies as written: a negative limit turns
// the bone away by that much).
TEST_F(IkTest, OneStepTurnsByTheAngleCutToTheLimit) {
    struct Case {
        float goalDegrees;  // the goal's direction from the bone, turned about z towards -x
        float limit;        // radians
        float expectedDegrees;
    };
    const Case cases[] = {
        {30, 2 * kPi, 30},  {0.5f, 2 * kPi, 0.5f}, {120, 2 * kPi, 120}, {30, 10 * kDeg, 10},
        {170, 3.0f, 170},   {179, 2 * kPi, 179},   {150, kPi, 150},     {90, 0.0f, 0},
        {90, -0.5f, -0.5f / kDeg},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "goal " << c.goalDegrees << " degrees, limit " << c.limit);
        const float a = c.goalDegrees * kDeg;
        nodes.Clear();
        BuildChain(1, {-2.0f * std::sin(a), 2.0f * std::cos(a), 0}, 1, c.limit);
        Pose(nodes);
        const float e = c.expectedDegrees * kDeg;
        ExpectVecNear({-std::sin(e), std::cos(e), 0}, Position(nodes, 1), 2e-5f);
    }
}

// A knee bending about x only (y and z limits zero) runs in single-axis mode: its local rotation
// is a pure x turn. One iteration, knee first: the straight leg aims the foot at a goal in front
// by turning -45 degrees, outside the knee's range. On iteration 0 the turn is negated when the
// negation fits, else when it is nearer the middle of the range; then clamped.
TEST_F(IkTest, KneeTurnsAboutOneAxisAndFlipsOnFirstIteration) {
    struct Case {
        float lo, hi;   // model-space x range, degrees
        float goalZ;    // goal in front (+z) or behind (-z) of the straight leg
        float expected; // knee angle, degrees
        float yHi = 0;  // a y range touching zero doesn't block the single-axis mode
    };
    const Case cases[] = {
        {0.5f, 180.0f, 0.5f, 45.0f},   // -45 negated: 45 lies inside
        {0.5f, 180.0f, 0.5f, 45.0f, 0.2f},
        {0.5f, 180.0f, -0.5f, 45.0f},  // goal behind: +45 directly
        {10.0f, 20.0f, 0.5f, 20.0f},   // 45 doesn't fit either, but is nearer the middle: negated, clamped
        {-10.0f, -5.0f, 0.5f, -10.0f}, // -45 is nearer the middle: kept, clamped
        {-180.0f, 180.0f, 0.5f, -45.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "range " << c.lo << ".." << c.hi << " goal z " << c.goalZ);
        nodes.Clear();
        // hip (0,2,0) - knee (0,1,0) - ankle (0,0,0); goal half a unit below the knee.
        Build({Bone(u"hip", {0, 2, 0}, -1), Bone(u"knee", {0, 1, 0}, 0), Bone(u"ankle", {0, 0, 0}, 1),
               IKBone({0, 0.5f, c.goalZ}, 2, {1, 0}, 1)});
        Limit(0, {c.lo * kDeg, 0, 0}, {c.hi * kDeg, c.yHi, 0});
        Pose(nodes);
        ExpectRotationNear(Math::RotationX(c.expected * kDeg), nodes.GetNode(1)->GetLocalTransform());
        EXPECT_NEAR(c.expected * kDeg, Solver().GetLinks()[0].planeModeAngle, 1e-5f);
        // The unlimited hip then aims the foot straight at the goal.
        const vec3 hip = Position(nodes, 0);
        const float cosine = Math::Dot(Math::Normalize(Position(nodes, 2) - hip),
                                       Math::Normalize(vec3(0, 0.5f, c.goalZ) - hip));
        EXPECT_NEAR(1.0f, cosine, 1e-5f);
    }
}

// With many iterations the single-axis knee lands the foot on a reachable goal, bent within its
// range about x alone. A goal off the leg's plane needs the hip to turn the plane; the knee's
// whole-angle steps then overshoot and the solve settles less tightly.
TEST_F(IkTest, KneeChainReachesGoal) {
    struct Case {
        vec3 goal;
        float tolerance;
    };
    const Case cases[] = {{{0, 0.6f, 0.4f}, 1e-4f}, {{0, 1.5f, -0.2f}, 1e-4f}, {{0.3f, 0.6f, 0.4f}, 1e-3f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "goal " << c.goal.x << "," << c.goal.y << "," << c.goal.z);
        nodes.Clear();
        Build({Bone(u"hip", {0, 2, 0}, -1), Bone(u"knee", {0, 1, 0}, 0), Bone(u"ankle", {0, 0, 0}, 1),
               IKBone(c.goal, 2, {1, 0}, 100)});
        Limit(0, {0.5f * kDeg, 0, 0}, {180.0f * kDeg, 0, 0});
        Pose(nodes);
        ExpectVecNear(c.goal, Position(nodes, 2), c.tolerance);
        const mat4& knee = nodes.GetNode(1)->GetLocalTransform();
        const float angle = std::atan2(knee.m[1][2], knee.m[2][2]);
        EXPECT_GE(angle, 0.5f * kDeg - 1e-6f);
        ExpectRotationNear(Math::RotationX(angle), knee);
    }
}

// A link limited on x and y takes the general step: the turn is decomposed into Euler angles and
// clamped, and each step moves each angle by at most the limit angle (0.2 here). One link at the
// origin, its target one unit along z; x turns move the tip to -y, y turns move it to +x.
TEST_F(IkTest, TwoAxisLimitsClampEulerAnglesStepByStep) {
    struct Case {
        vec3 goal;
        int loops;
        vec3 expected;
    };
    const Case cases[] = {
        {{0, -2, 0.5f}, 1, {0.2f, 0, 0}},   // a pure x turn, one step at a time
        {{0, -2, 0.5f}, 2, {0.4f, 0, 0}},
        {{0, -2, 0.5f}, 20, {0.5f, 0, 0}},  // held at the x limit
        {{2, -2, 0.5f}, 20, {0.5f, 0.3f, 0}},  // both at their limits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.loops << " loops, goal x " << c.goal.x);
        nodes.Clear();
        Build({Bone(u"root", {0, 0, 0}, -1), Bone(u"tip", {0, 0, 1}, 0), IKBone(c.goal, 1, {0}, c.loops, 0.2f)});
        Limit(0, {-0.5f, -0.3f, 0}, {0.5f, 0.3f, 0});
        Pose(nodes);
        ExpectRotationNear(EulerMatrix(c.expected), nodes.GetNode(0)->GetLocalTransform());
        ExpectVecNear(c.expected, Solver().GetLinks()[0].prevAngle, 1e-5f);
    }
}

// A single-axis link whose goal lies far off its plane: the first turn overshoots (it uses the
// whole angle between the directions) and the second lands farther from the goal, so the solve
// keeps the first iteration's pose and stops.
TEST_F(IkTest, WorseIterationRestoresBestAndStops) {
    const vec3 goal(0.9f, -0.3f, 0.3f);
    Build({Bone(u"knee", {0, 0, 0}, -1), Bone(u"ankle", {0, -1, 0}, 0), IKBone(goal, 1, {0}, 10)});
    Limit(0, {-kPi, 0, 0}, {kPi, 0, 0});
    Pose(nodes);

    // Iteration 0 turns the foot (0,-1,0) by the whole angle to the goal direction, towards +z.
    const float first = -std::acos(Math::Dot(Math::Normalize(goal), {0, -1, 0}));
    ExpectRotationNear(Math::RotationX(first), nodes.GetNode(0)->GetLocalTransform());
    // Iteration 1 would have turned back past the best angle (-45 degrees) to here, farther away.
    const vec3 foot = Math::TransformNormal({0, -1, 0}, Math::RotationX(first));
    const float second = first + std::acos(Math::Dot(Math::Normalize(goal), foot));
    const auto distance = [&](float a) {
        return Math::Length(Math::TransformNormal({0, -1, 0}, Math::RotationX(a)) - goal);
    };
    ASSERT_GT(distance(second), distance(first));
    // The second iteration did run (its angle is the last the link reached) and was undone.
    EXPECT_NEAR(second, Solver().GetLinks()[0].planeModeAngle, 1e-5f);
}

// Loop count 0 only resets the links: the chain keeps the pose the animation gave it. A disabled
// solver doesn't even reset: the links keep whatever IK rotate they had.
TEST_F(IkTest, ZeroLoopsAndDisabledSolversLeaveThePose) {
    BuildChain(2, {1, 1, 0}, 0);
    for (const auto& n : nodes.GetNodes()) n->BeginUpdate();
    const quat bend = Math::QuaternionRotationAxis({0, 0, 1}, 0.7f);
    nodes.GetNode(0)->SetAnimateRotate(bend);
    nodes.GetNode(1)->SetIKRotate(bend);
    for (const auto& n : nodes.GetNodes()) n->ComputeLocalTransform();
    nodes.GetNode(0)->UpdateGlobalTransform();
    Solver().Solve();
    EXPECT_EQ(quat::Identity(), nodes.GetNode(1)->GetIKRotate());
    EXPECT_EQ(quat::Identity(), nodes.GetNode(0)->GetIKRotate());
    ExpectRotationNear(Math::RotationQuaternion(bend), nodes.GetNode(1)->GetGlobalTransform());

    Solver().SetIterateCount(20);
    Solver().Enable(false);
    nodes.GetNode(1)->SetIKRotate(bend);
    Solver().Solve();
    EXPECT_EQ(bend, nodes.GetNode(1)->GetIKRotate());
    EXPECT_EQ(quat::Identity(), nodes.GetNode(0)->GetIKRotate());
}

// A goal that isn't a number ends the solve after one iteration, whatever the loop count, and
// leaves the links unturned.
TEST_F(IkTest, NonFiniteGoalStopsAtOnce) {
    BuildChain(2, {std::nanf(""), 1, 0}, 2000000000);
    Pose(nodes);
    EXPECT_EQ(quat::Identity(), nodes.GetNode(0)->GetIKRotate());
    EXPECT_EQ(quat::Identity(), nodes.GetNode(1)->GetIKRotate());
}

// A target already on the goal: every link is skipped, nothing turns.
TEST_F(IkTest, TargetOnGoalLeavesChainStraight) {
    BuildChain(3, {0, 3, 0}, 50);
    Pose(nodes);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(quat::Identity(), nodes.GetNode(j)->GetIKRotate());
}

// Limits come from the file mirrored for the z flip: x and y ranges negated (ends swapped), z kept;
// a lower bound above its upper is swapped first. Chains naming missing bones are dropped, a
// negative loop count runs nothing, and the model still loads.
TEST_F(IkTest, SetupMirrorsLimitsAndSkipsBrokenChains) {
    PMXBone ok = IKBone({0, 1, 0}, 1, {0}, 5, 0.5f);
    ok.ikLinks[0].enableLimit = 1;
    ok.ikLinks[0].limitMin = {-0.1f, -0.2f, -0.3f};
    ok.ikLinks[0].limitMax = {0.4f, -0.5f, 0.6f};  // y bounds reversed
    PMXBone badTarget = IKBone({0, 1, 0}, 7, {0}, 5);
    PMXBone badLink = IKBone({0, 1, 0}, 1, {0, -1}, 5);
    PMXBone negative = IKBone({0, 1, 0}, 1, {0}, -3);
    negative.name = u"neg";
    Build({Bone(u"a", {0, 0, 0}, -1), Bone(u"b", {0, 1, 0}, 0), ok, badTarget, badLink, negative});

    ASSERT_EQ(2u, iks.GetIKSolverCount());
    const MMDIkSolver& s = *iks.GetIKSolver(0);
    EXPECT_EQ(nodes.GetNode(2), s.GetIKNode());
    EXPECT_EQ(nodes.GetNode(1), s.GetTargetNode());
    EXPECT_EQ(&s, nodes.GetNode(2)->GetIKSolver());
    EXPECT_EQ(nullptr, nodes.GetNode(3)->GetIKSolver());
    EXPECT_EQ(5u, s.GetIterateCount());
    EXPECT_FLOAT_EQ(0.5f, s.GetLimitAngle());
    ASSERT_EQ(1u, s.GetLinks().size());
    EXPECT_TRUE(s.GetLinks()[0].axisLimit);
    ExpectVecNear({-0.4f, 0.2f, -0.3f}, s.GetLinks()[0].limitMin, 0);
    ExpectVecNear({0.1f, 0.5f, 0.6f}, s.GetLinks()[0].limitMax, 0);
    EXPECT_TRUE(nodes.GetNode(0)->IsIKEnabled());
    EXPECT_FALSE(nodes.GetNode(1)->IsIKEnabled());

    EXPECT_EQ(0u, iks.GetIKSolver(1)->GetIterateCount());
    EXPECT_EQ(1, iks.FindIKSolverIndex(u"neg"));
    EXPECT_EQ(-1, iks.FindIKSolverIndex(u"a"));
    const std::string log = Utf16ToUtf8(MessageLog::Instance().TakeAll());
    EXPECT_NE(std::string::npos, log.find("2 IK bone(s) name a target or link bone that does not exist"));
    EXPECT_NE(std::string::npos, log.find("1 IK bone(s) have a negative loop count"));
}

// Euler decomposition: the triple nearest the reference (angles wrapped to one turn) among the
// equivalent ones, always the same rotation. At gimbal lock (y = +-90 degrees) only x - z is
// fixed; the reference picks which of x and z is held at 0 or pi.
// While it works the solve keeps only the chain's own nodes current; bones that branch off the
// chain (a skirt bone on the hip, a toe below the target) and an IK bone that hangs off the chain
// itself must still end up exactly where a full update from the roots puts them, whether the solve
// ends by running out of loops or by going back to its best iteration. A link listed twice (a
// broken file) is one bone turned twice per iteration.
TEST_F(IkTest, BonesBranchingOffTheChainEndUpToDate) {
    for (const auto& links : {std::vector<int32_t>{1, 0}, std::vector<int32_t>{1, 0, 1}}) {
        for (const int32_t ikParent : {-1, 3}) {
            for (const int32_t loops : {1, 2, 40}) {
                SCOPED_TRACE(testing::Message()
                             << "links " << links.size() << ", ik parent " << ikParent << ", loops " << loops);
                std::vector<PMXBone> bones = {Bone(u"hip", {0, 3, 0}, -1), Bone(u"knee", {0, 2, 0.1f}, 0),
                                              Bone(u"ankle", {0, 1, 0}, 1), Bone(u"skirt", {0.5f, 2.5f, 0}, 0),
                                              Bone(u"toe", {0, 0.5f, 0.5f}, 2)};
                bones.push_back(IKBone({0.8f, 1.3f, 0.4f}, 2, links, loops));
                bones.back().parentBoneIndex = ikParent;
                nodes.Clear();
                iks.Clear();
                Build(bones);
                Pose(nodes);

                ExpectGlobalsUpToDate();
                // The chain did move towards the goal.
                EXPECT_LT(Math::Length(Position(nodes, 2) - Position(nodes, 5)),
                          Math::Length(vec3(0, 1, 0) - Position(nodes, 5)));
            }
        }
    }
}

// Chains a broken file can describe: a target no link moves, a link that is the target, the IK
// bone among its own links, links on another branch. The solve must neither fault nor leave any
// bone out of date, and whatever it can't move stays where the animation put it.
TEST_F(IkTest, OddChainShapesSolveWithoutFault) {
    struct Case {
        const char* what;
        int32_t target;
        std::vector<int32_t> links;
        int32_t ikParent;
    };
    // Bones: 0 hip, 1 knee, 2 ankle, 3 skirt (on the hip), 4 toe; the IK bone is 5.
    const Case cases[] = {
        {"target on another branch", 3, {1, 2}, -1},
        {"target is a link", 2, {2, 1, 0}, -1},
        {"IK bone is a link", 2, {1, 5}, 0},
        {"links off the target's path", 2, {3, 4}, -1},
        {"the same link three times", 2, {1, 1, 1}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<PMXBone> bones = {Bone(u"hip", {0, 3, 0}, -1), Bone(u"knee", {0, 2, 0.1f}, 0),
                                      Bone(u"ankle", {0, 1, 0}, 1), Bone(u"skirt", {0.5f, 2.5f, 0}, 0),
                                      Bone(u"toe", {0, 0.5f, 0.5f}, 2)};
        bones.push_back(IKBone({0.8f, 1.3f, 0.4f}, c.target, c.links, 40));
        bones.back().parentBoneIndex = c.ikParent;
        nodes.Clear();
        iks.Clear();
        Build(bones);
        ASSERT_EQ(1u, iks.GetIKSolverCount());
        const vec3 targetBefore = Position(nodes, c.target);
        Pose(nodes);

        ExpectGlobalsUpToDate();
        if (std::string(c.what) == "target on another branch" || std::string(c.what) == "links off the target's path") {
            EXPECT_EQ(targetBefore, Position(nodes, c.target));
        }
    }
}

// A hostile file can make every bone of a long chain an IK link. The solver still keeps one
// list of the chain's nodes (each link's part of it is a range), so its memory stays linear.
TEST_F(IkTest, VeryLongChainsStillSolve) {
    const int links = 1500;
    BuildChain(links, {600.0f, 1000.0f, 0.0f}, 1);
    Pose(nodes);
    std::vector<mat4> solved;
    for (const auto& n : nodes.GetNodes()) solved.push_back(n->GetGlobalTransform());
    nodes.GetNode(0)->UpdateGlobalTransform();
    for (int i = 0; i <= links; ++i) {
        EXPECT_EQ(solved[i].Translation(), nodes.GetNode(i)->GetGlobalTransform().Translation()) << i;
    }
    // The end moved off the straight line towards the goal.
    EXPECT_GT(Position(nodes, links).x, 1.0f);
}

TEST(DecomposeEulerTest, NearestTripleAndGimbalLock) {
    struct Case {
        vec3 euler;      // rotation decomposed
        vec3 reference;
        vec3 expected;
    };
    const float h = kPi / 2;
    const Case cases[] = {
        {{0.3f, -0.5f, 1.1f}, {0, 0, 0}, {0.3f, -0.5f, 1.1f}},
        // The same rotation as (x + pi, pi - y, z + pi) wrapped; a reference near it selects it.
        {{0.3f, -0.5f, 1.1f}, {3.4f, 3.6f, 4.2f}, {0.3f + kPi, kPi + 0.5f, 1.1f + kPi}},
        {{0.3f, -0.5f, 1.1f}, {-2.8f, -2.6f, -2.0f}, {0.3f + kPi, kPi + 0.5f, 1.1f + kPi}},
        // Gimbal lock, reference x nearer a multiple of pi than z: x held at 0, z takes x - z.
        {{0.4f, h, 1.0f}, {0, h, 1.0f}, {0, h, 0.6f}},
        // ... reference z nearer: z held at 0, x takes x - z.
        {{0.4f, h, 1.0f}, {1.0f, h, 0}, {-0.6f, h, 0}},
        // ... with cos of the reference negative, the held angle is pi.
        {{0.4f, h, 1.0f}, {kPi, h, 1.0f}, {kPi, h, 0.6f - kPi}},
        // y = -90 degrees fixes x + z instead.
        {{0.2f, -h, -0.3f}, {0, -h, 0.5f}, {0, -h, -0.1f}},
        {{0.2f, -h, -0.3f}, {1.0f, -h, kPi}, {kPi - 0.1f, -h, kPi}},
    };
    for (const Case& c : cases) {
        const mat4 m = EulerMatrix(c.euler);
        const vec3 e = DecomposeEuler(m, c.reference);
        SCOPED_TRACE(testing::Message() << "euler " << c.euler.x << "," << c.euler.y << "," << c.euler.z << " ref "
                                        << c.reference.x << "," << c.reference.y << "," << c.reference.z);
        ExpectVecNear(c.expected, e, 2e-3f);
        ExpectRotationNear(m, EulerMatrix(e), 2e-3f);
    }
    // Just off the lock (within the 1e-6 tolerance on the sine) the locked formulas still apply and
    // give nearly the same rotation.
    const mat4 near = EulerMatrix({0.4f, h - 1e-4f, 1.0f});
    ExpectRotationNear(near, EulerMatrix(DecomposeEuler(near, {0, h, 1.0f})), 1e-3f);
}
