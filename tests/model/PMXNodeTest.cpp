#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/MessageLog.h"
#include "model/skeleton/MMDNodeManager.h"
#include "model/skeleton/PMXNode.h"

using namespace Vesma;
using Math::mat4;
using Math::quat;
using Math::vec3;

namespace {

constexpr float kHalfPi = Math::kPi / 2;

PMXBone Bone(const char16_t* name, vec3 position, int32_t parent, uint16_t flags = 0, int32_t appendParent = -1,
             float appendWeight = 0.0f) {
    PMXBone bone;
    bone.name = name;
    bone.position = position;
    bone.parentBoneIndex = parent;
    bone.boneFlag = flags;
    bone.appendBoneIndex = appendParent;
    bone.appendWeight = appendWeight;
    return bone;
}

constexpr uint16_t kAppendRotate = 0x0100;
constexpr uint16_t kAppendTranslate = 0x0200;
constexpr uint16_t kAppendLocal = 0x0080;

quat AxisAngle(vec3 axis, float angle) { return Math::QuaternionRotationAxis(axis, angle); }

void ExpectMatNear(const mat4& expected, const mat4& actual, float eps = 1e-5f) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(expected.m[r][c], actual.m[r][c], eps) << "m[" << r << "][" << c << "]";
        }
    }
}

// Rotations compared as matrices, so q and -q count as equal.
void ExpectSameRotation(quat expected, quat actual) {
    ExpectMatNear(Math::RotationQuaternion(expected), Math::RotationQuaternion(actual));
}

void ExpectVecNear(vec3 expected, vec3 actual, float eps = 1e-5f) {
    EXPECT_NEAR(expected.x, actual.x, eps);
    EXPECT_NEAR(expected.y, actual.y, eps);
    EXPECT_NEAR(expected.z, actual.z, eps);
}

class PMXNodeTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }
    MMDNodeManager nodes;
    PMXNode* N(int i) { return nodes.GetNode(i); }
};

std::vector<MMDNode*> Children(const MMDNode* node) {
    std::vector<MMDNode*> out;
    for (MMDNode* c = node->GetFirstChild(); c; c = c->GetNext()) {
        out.push_back(c);
    }
    return out;
}

}  // namespace

// The parent of bone 0 is bone 3, listed after it; bones 1, 0 and 4 are children of bone 3 (in
// file order), so its child list is 0, 1, 4 regardless of where the parent sits.
TEST_F(PMXNodeTest, SetupLinksParentsInFileOrder) {
    const std::vector<PMXBone> bones = {
        Bone(u"a", {1, 2, 3}, 3), Bone(u"b", {0, 1, 1}, 3), Bone(u"root", {0, 0, 0}, -1),
        Bone(u"hub", {0, 1, 0}, 2), Bone(u"c", {2, 1, -1}, 3),
    };
    SetupPMXNodes(bones, nodes);
    ASSERT_EQ(5u, nodes.GetNodeCount());
    EXPECT_TRUE(MessageLog::Instance().Peek().empty());

    EXPECT_EQ(nullptr, N(2)->GetParent());
    EXPECT_EQ(N(2), N(3)->GetParent());
    EXPECT_EQ((std::vector<MMDNode*>{N(0), N(1), N(4)}), Children(N(3)));
    EXPECT_EQ((std::vector<MMDNode*>{N(3)}), Children(N(2)));
    // The first child's previous link is the last child; the others point back one step.
    EXPECT_EQ(N(4), N(0)->GetPrev());
    EXPECT_EQ(N(0), N(1)->GetPrev());
    EXPECT_EQ(N(1), N(4)->GetPrev());
    EXPECT_EQ(N(3), N(3)->GetPrev());

    // Rest translations are relative to the parent, z negated; the root keeps its position.
    EXPECT_EQ(vec3(1, 1, -3), N(0)->GetTranslate());
    EXPECT_EQ(vec3(0, 0, -1), N(1)->GetTranslate());
    EXPECT_EQ(vec3(0, 1, 0), N(3)->GetTranslate());
    EXPECT_EQ(vec3(2, 0, 1), N(4)->GetTranslate());
    EXPECT_EQ(vec3(1, 1, -3), N(0)->GetInitialTranslate());
    EXPECT_EQ(quat::Identity(), N(0)->GetInitialRotate());
    EXPECT_EQ(vec3(1, 1, 1), N(0)->GetInitialScale());

    // Bind transform: the absolute position with z negated, and its inverse.
    EXPECT_EQ(Math::Translation({1, 2, -3}), N(0)->GetGlobalTransform());
    ExpectMatNear(mat4::Identity(), N(0)->GetGlobalTransform() * N(0)->GetInverseInitTransform());

    EXPECT_EQ(3, nodes.FindNodeIndex(u"hub"));
    EXPECT_EQ(-1, nodes.FindNodeIndex(u"Hub"));
    nodes.AddNode()->SetName(u"hub");  // a second node of the same name is never found
    EXPECT_EQ(3, nodes.FindNodeIndex(u"hub"));
    EXPECT_EQ(nullptr, nodes.GetNode(-1));
    EXPECT_EQ(nullptr, nodes.GetNode(6));
}

// Parent indices that can't be followed leave the bone a root; loops are opened, so a global
// update from any node ends.
TEST_F(PMXNodeTest, InvalidParentsBecomeRoots) {
    const std::vector<PMXBone> bones = {
        Bone(u"0", {0, 1, 0}, -7),   // negative, not -1
        Bone(u"1", {0, 2, 0}, 99),   // beyond the list
        Bone(u"2", {0, 3, 0}, 2),    // itself
        Bone(u"3", {0, 4, 0}, 4),    // loop 3 -> 4 -> 5 -> 3
        Bone(u"4", {0, 5, 0}, 5),
        Bone(u"5", {0, 6, 0}, 3),
        Bone(u"6", {0, 7, 0}, 4),    // hangs off the loop
    };
    SetupPMXNodes(bones, nodes);
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(nullptr, N(i)->GetParent()) << i;
        EXPECT_EQ(vec3(0, static_cast<float>(i + 1), 0), N(i)->GetTranslate()) << i;
    }
    // The loop is opened at its lowest bone, which becomes a root; the rest stays linked.
    EXPECT_EQ(nullptr, N(3)->GetParent());
    EXPECT_EQ(N(3), N(5)->GetParent());
    EXPECT_EQ(N(5), N(4)->GetParent());
    EXPECT_EQ(N(4), N(6)->GetParent());
    EXPECT_EQ(u"4 bone(s) name an invalid parent bone and are treated as roots.\r\n", MessageLog::Instance().Peek());

    for (size_t i = 0; i < nodes.GetNodeCount(); ++i) {
        N(static_cast<int>(i))->BeginUpdate();
        N(static_cast<int>(i))->ComputeLocalTransform();
    }
    N(3)->UpdateGlobalTransform();
    ExpectVecNear({0, 7, 0}, N(6)->GetGlobalTransform().Translation());
}

TEST_F(PMXNodeTest, AddChildRefusesNodesThatCannotBeLinked) {
    nodes.AddNode();
    nodes.AddNode();
    EXPECT_FALSE(N(0)->AddChild(nullptr));
    EXPECT_FALSE(N(0)->AddChild(N(0)));
    EXPECT_TRUE(N(0)->AddChild(N(1)));
    EXPECT_FALSE(N(0)->AddChild(N(1)));
    EXPECT_EQ((std::vector<MMDNode*>{N(1)}), Children(N(0)));
}

TEST_F(PMXNodeTest, AppendSetup) {
    const std::vector<PMXBone> bones = {
        Bone(u"src", {}, -1),
        Bone(u"rot", {}, -1, kAppendRotate | kAppendLocal, 0, 0.5f),
        Bone(u"move", {}, -1, kAppendTranslate, 0, -1.0f),
        Bone(u"noIndex", {}, -1, kAppendRotate | kAppendLocal, -1, 0.5f),
        Bone(u"flagsOff", {}, -1, kAppendLocal, 0, 0.5f),   // index without a flag: ignored
        Bone(u"outOfRange", {}, -1, kAppendRotate, 40, 1.0f),
        Bone(u"self", {}, -1, kAppendTranslate, 6, 1.0f),
    };
    SetupPMXNodes(bones, nodes);
    EXPECT_EQ(N(0), N(1)->GetAppendNode());
    EXPECT_TRUE(N(1)->IsAppendRotate());
    EXPECT_FALSE(N(1)->IsAppendTranslate());
    EXPECT_TRUE(N(1)->IsAppendLocal());
    EXPECT_EQ(0.5f, N(1)->GetAppendWeight());
    EXPECT_EQ(N(0), N(2)->GetAppendNode());
    EXPECT_TRUE(N(2)->IsAppendTranslate());
    EXPECT_EQ(-1.0f, N(2)->GetAppendWeight());
    for (int i : {3, 4, 5, 6}) {
        EXPECT_EQ(nullptr, N(i)->GetAppendNode()) << i;
        EXPECT_FALSE(N(i)->IsAppendLocal()) << i;
    }
    EXPECT_EQ(u"2 bone(s) name an invalid append parent; their append is ignored.\r\n",
              MessageLog::Instance().Peek());
    // Without an append node the transform update does nothing, whatever the flags say.
    N(5)->BeginUpdate();
    N(5)->UpdateAppendTransform();
    EXPECT_EQ(quat::Identity(), N(5)->GetAppendRotate());
}

// local = Scaling(scale) * RotationQuaternion(r) * Translation(t), with r built from the rotation
// terms in a fixed order. Rotations about different axes make any order mistake visible.
TEST_F(PMXNodeTest, LocalTransformTerms) {
    const quat rest = AxisAngle({1, 0, 0}, 0.3f);
    const quat anim = AxisAngle({0, 1, 0}, 0.7f);
    const quat ik = AxisAngle({0, 0, 1}, -0.4f);
    const quat append = AxisAngle({1, 1, 0}, 0.9f);
    const vec3 restT{1, 2, 3}, animT{-0.5f, 0.25f, 4}, appendT{0.1f, -0.2f, 0.3f};
    struct Case {
        const char* what;
        bool ikEnabled, appendRotate, appendTranslate;
        quat ikRotate;
        quat expectedR;
        vec3 expectedT;
    };
    const Case cases[] = {
        {"plain", false, false, false, ik, anim * rest, restT + animT},
        {"IK off ignores IK rotate", false, false, false, ik, anim * rest, restT + animT},
        {"IK on", true, false, false, ik, ik * anim * rest, restT + animT},
        {"IK on, identity", true, false, false, quat::Identity(), anim * rest, restT + animT},
        {"append rotate", false, true, false, ik, append * anim * rest, restT + animT},
        {"append rotate after IK", true, true, false, ik, append * ik * anim * rest, restT + animT},
        {"append translate", false, false, true, ik, anim * rest, restT + animT + appendT},
        {"both appends", false, true, true, ik, append * anim * rest, restT + animT + appendT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MMDNodeManager m;
        PMXNode* src = m.AddNode();
        PMXNode* node = m.AddNode();
        node->SetTranslate(restT);
        node->SetRotate(rest);
        node->SetScale({2, 1, 0.5f});
        node->SaveInitialTRS();
        node->BeginUpdate();
        node->SetAnimateTranslate(animT);
        node->SetAnimateRotate(anim);
        node->EnableIK(c.ikEnabled);
        node->SetIKRotate(c.ikRotate);
        // Drive the append values through the source: weight 1, local, so the source's own pose
        // is taken as is.
        node->SetAppendNode(src);
        node->SetAppendWeight(1.0f);
        node->EnableAppendLocal(true);
        node->EnableAppendRotate(c.appendRotate);
        node->EnableAppendTranslate(c.appendTranslate);
        src->BeginUpdate();
        src->SetAnimateRotate(append);
        src->SetTranslate(appendT);
        node->UpdateAppendTransform();

        const mat4 expected =
            Math::Scaling({2, 1, 0.5f}) * Math::RotationQuaternion(c.expectedR) * Math::Translation(c.expectedT);
        ExpectMatNear(expected, node->GetLocalTransform());

        // The base node's parts have no append terms.
        const mat4 base = MMDNode::ComposeLocal(node->MMDNode::GetLocalParts(), node->GetIKRotate());
        const quat baseR = c.ikEnabled ? c.ikRotate * anim * rest : anim * rest;
        ExpectMatNear(Math::Scaling({2, 1, 0.5f}) * Math::RotationQuaternion(baseR) * Math::Translation(restT + animT),
                      base);
    }
}

TEST_F(PMXNodeTest, BeginUpdateRestoresTheRestPose) {
    nodes.AddNode();
    PMXNode* n = N(0);
    n->SetTranslate({1, 2, 3});
    n->SetRotate(AxisAngle({0, 1, 0}, 0.5f));
    n->SaveInitialTRS();
    n->SetTranslate({9, 9, 9});
    n->SetRotate(AxisAngle({1, 0, 0}, 1.0f));
    n->SetScale({3, 3, 3});
    n->SetAnimateTranslate({1, 1, 1});
    n->SetAnimateRotate(AxisAngle({1, 0, 0}, 1.0f));
    n->SetIKRotate(AxisAngle({1, 0, 0}, 1.0f));
    n->SetBaseAnimateTranslate({5, 5, 5});
    n->BeginUpdate();
    EXPECT_EQ(vec3(1, 2, 3), n->GetTranslate());
    EXPECT_EQ(AxisAngle({0, 1, 0}, 0.5f), n->GetRotate());
    EXPECT_EQ(vec3(1, 1, 1), n->GetScale());
    EXPECT_EQ(vec3(), n->GetAnimateTranslate());
    EXPECT_EQ(quat::Identity(), n->GetAnimateRotate());
    EXPECT_EQ(quat::Identity(), n->GetIKRotate());
    EXPECT_EQ(quat::Identity(), n->GetAppendRotate());
    EXPECT_EQ(vec3(), n->GetAppendTranslate());
    // The base pose belongs to the motion blend and survives the frame start.
    EXPECT_EQ(vec3(5, 5, 5), n->GetBaseAnimateTranslate());
}

// Append rotation: slerp from identity to the source rotation by the weight.
//   weight 0.5 -> half the angle; weight -1 -> the inverse rotation.
TEST_F(PMXNodeTest, AppendRotateWeights) {
    struct Case {
        float weight;
        float expectedAngle;
    };
    for (const Case c : {Case{1.0f, 1.2f}, Case{0.5f, 0.6f}, Case{-1.0f, -1.2f}, Case{0.0f, 0.0f}}) {
        SCOPED_TRACE(c.weight);
        MMDNodeManager m;
        SetupPMXNodes(std::vector<PMXBone>{Bone(u"src", {}, -1), Bone(u"dst", {}, -1, kAppendRotate, 0, c.weight)},
                      m);
        PMXNode* src = m.GetNode(0);
        PMXNode* dst = m.GetNode(1);
        src->BeginUpdate();
        dst->BeginUpdate();
        src->SetAnimateRotate(AxisAngle({1, 0, 0}, 1.2f));
        dst->UpdateAppendTransform();
        ExpectSameRotation(AxisAngle({1, 0, 0}, c.expectedAngle), dst->GetAppendRotate());
        ExpectMatNear(Math::RotationX(c.expectedAngle), dst->GetLocalTransform());
    }
}

// Chain: C appends from B, B appends from A.
//   A: animated 90 degrees about z
//   B: weight 0.5 of A, and its own animation 0.5 rad about x
//   C: weight 1 of B; non-local takes B's inherited rotation, local takes B's own animated one.
TEST_F(PMXNodeTest, AppendChainRotation) {
    struct Case {
        const char* what;
        bool cLocal;
        bool bIK;
        quat expected;
    };
    const quat bOwn = AxisAngle({1, 0, 0}, 0.5f);
    const quat bIK = AxisAngle({0, 1, 0}, 0.3f);
    const quat bInherited = AxisAngle({0, 0, 1}, kHalfPi / 2);
    const Case cases[] = {
        {"non-local", false, false, bInherited},
        {"local", true, false, bOwn},
        {"non-local, IK on the source", false, true, bIK * bInherited},
        {"local, IK on the source", true, true, bIK * bOwn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MMDNodeManager m;
        const uint16_t cFlags = kAppendRotate | (c.cLocal ? kAppendLocal : 0);
        SetupPMXNodes(std::vector<PMXBone>{Bone(u"A", {}, -1), Bone(u"B", {}, -1, kAppendRotate, 0, 0.5f),
                                           Bone(u"C", {}, -1, cFlags, 1, 1.0f)},
                      m);
        for (int i = 0; i < 3; ++i) {
            m.GetNode(i)->BeginUpdate();
        }
        m.GetNode(0)->SetAnimateRotate(AxisAngle({0, 0, 1}, kHalfPi));
        m.GetNode(1)->SetAnimateRotate(bOwn);
        m.GetNode(1)->EnableIK(c.bIK);
        m.GetNode(1)->SetIKRotate(bIK);
        m.GetNode(1)->UpdateAppendTransform();
        ExpectSameRotation(bInherited, m.GetNode(1)->GetAppendRotate());
        m.GetNode(2)->UpdateAppendTransform();
        ExpectSameRotation(c.expected, m.GetNode(2)->GetAppendRotate());
    }
}

// Append translation. A source without an append parent passes on how far its translate moved
// from the rest value this frame (what bone morphs did), not its motion translation.
TEST_F(PMXNodeTest, AppendTranslate) {
    struct Case {
        const char* what;
        bool cLocal;
        vec3 expectedB, expectedC;
    };
    // A rests at (1, 0, 0) relative to nothing; a morph moves it by (0, 2, 0); its motion adds
    // (5, 5, 5), which is not inherited. B takes half, C takes -1 times what it is given.
    const Case cases[] = {
        {"non-local chain", false, {0, 1, 0}, {0, -1, 0}},
        // Local: C looks at B's own translate change, which a morph set to (0, 0, 4).
        {"local", true, {0, 1, 0}, {0, 0, -4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MMDNodeManager m;
        const uint16_t cFlags = kAppendTranslate | (c.cLocal ? kAppendLocal : 0);
        SetupPMXNodes(std::vector<PMXBone>{Bone(u"A", {1, 0, 0}, -1), Bone(u"B", {0, 3, 0}, 0, kAppendTranslate, 0, 0.5f),
                                           Bone(u"C", {}, -1, cFlags, 1, -1.0f)},
                      m);
        for (int i = 0; i < 3; ++i) {
            m.GetNode(i)->BeginUpdate();
        }
        PMXNode* a = m.GetNode(0);
        PMXNode* b = m.GetNode(1);
        a->SetTranslate(a->GetTranslate() + vec3(0, 2, 0));
        a->SetAnimateTranslate({5, 5, 5});
        b->SetTranslate(b->GetTranslate() + vec3(0, 0, 4));
        b->UpdateAppendTransform();
        ExpectVecNear(c.expectedB, b->GetAppendTranslate());
        m.GetNode(2)->UpdateAppendTransform();
        ExpectVecNear(c.expectedC, m.GetNode(2)->GetAppendTranslate());
        // C's local transform carries it.
        ExpectVecNear(c.expectedC, m.GetNode(2)->GetLocalTransform().Translation());
    }
}

// Three-bone chain against matrices worked out by hand.
//   file positions: root (0, 1, 0), mid (0, 2, 1), tip (1, 2, 1)
//   rest translations (z negated): root (0, 1, 0), mid (0, 1, -1), tip (1, 0, 0)
//   animation: root 90 degrees about y, mid 90 degrees about x
TEST_F(PMXNodeTest, GlobalTransformsOfAChain) {
    SetupPMXNodes(std::vector<PMXBone>{Bone(u"root", {0, 1, 0}, -1), Bone(u"mid", {0, 2, 1}, 0),
                                       Bone(u"tip", {1, 2, 1}, 1)},
                  nodes);
    for (int i = 0; i < 3; ++i) {
        N(i)->BeginUpdate();
    }
    N(0)->SetAnimateRotate(AxisAngle({0, 1, 0}, kHalfPi));
    N(1)->SetAnimateRotate(AxisAngle({1, 0, 0}, kHalfPi));
    for (int i = 0; i < 3; ++i) {
        N(i)->ComputeLocalTransform();
    }
    N(0)->UpdateGlobalTransform();

    const mat4 root(0, 0, -1, 0,  //
                    0, 1, 0, 0,   //
                    1, 0, 0, 0,   //
                    0, 1, 0, 1);
    const mat4 mid(0, 0, -1, 0,  //
                   1, 0, 0, 0,   //
                   0, -1, 0, 0,  //
                   -1, 2, 0, 1);
    const mat4 tip(0, 0, -1, 0,  //
                   1, 0, 0, 0,   //
                   0, -1, 0, 0,  //
                   -1, 2, -1, 1);
    ExpectMatNear(root, N(0)->GetGlobalTransform());
    ExpectMatNear(mid, N(1)->GetGlobalTransform());
    ExpectMatNear(tip, N(2)->GetGlobalTransform());

    // Updating a middle node refreshes its subtree from the parent's current global.
    N(1)->SetAnimateRotate(quat::Identity());
    N(1)->ComputeLocalTransform();
    N(1)->UpdateGlobalTransform();
    ExpectMatNear(root, N(0)->GetGlobalTransform());
    ExpectVecNear({-1, 2, -1}, N(2)->GetGlobalTransform().Translation());
    ExpectMatNear(Math::Translation({1, 0, 0}) * Math::Translation({0, 1, -1}) * root, N(2)->GetGlobalTransform());

    // At rest the skinning matrix (inverse bind * global) is the identity.
    for (int i = 0; i < 3; ++i) {
        N(i)->BeginUpdate();
        N(i)->ComputeLocalTransform();
    }
    N(0)->UpdateGlobalTransform();
    for (int i = 0; i < 3; ++i) {
        ExpectMatNear(mat4::Identity(), N(i)->GetInverseInitTransform() * N(i)->GetGlobalTransform());
    }
}

// A global update touches the start node's subtree and nothing else, not even its siblings.
TEST_F(PMXNodeTest, GlobalUpdateStaysInsideTheSubtree) {
    SetupPMXNodes(std::vector<PMXBone>{Bone(u"root", {}, -1), Bone(u"a", {1, 0, 0}, 0), Bone(u"a1", {2, 0, 0}, 1),
                                       Bone(u"b", {0, 1, 0}, 0), Bone(u"b1", {0, 2, 0}, 3)},
                  nodes);
    for (int i = 0; i < 5; ++i) {
        N(i)->BeginUpdate();
        N(i)->ComputeLocalTransform();
    }
    const mat4 marker = Math::Scaling({7, 7, 7});
    N(3)->SetGlobalTransform(marker);
    N(4)->SetGlobalTransform(marker);
    N(1)->UpdateGlobalTransform();
    ExpectVecNear({2, 0, 0}, N(2)->GetGlobalTransform().Translation());
    EXPECT_EQ(marker, N(3)->GetGlobalTransform());
    EXPECT_EQ(marker, N(4)->GetGlobalTransform());
}

// A very deep chain (as a hostile file could declare) updates without recursion.
TEST_F(PMXNodeTest, DeepChainUpdates) {
    constexpr int kDepth = 100000;
    std::vector<PMXBone> bones(kDepth);
    for (int i = 0; i < kDepth; ++i) {
        bones[i].position = {0, static_cast<float>(i), 0};
        bones[i].parentBoneIndex = i - 1;
    }
    SetupPMXNodes(bones, nodes);
    for (int i = 0; i < kDepth; ++i) {
        N(i)->BeginUpdate();
        N(i)->ComputeLocalTransform();
    }
    N(0)->UpdateGlobalTransform();
    EXPECT_EQ(static_cast<float>(kDepth - 1), N(kDepth - 1)->GetGlobalTransform().Translation().y);
}

namespace {

// Every entry with the same bits; NaNs count as equal whatever their sign and payload, since which
// operand's NaN an operation passes on is the compiler's choice.
bool SameBits(const mat4& a, const mat4& b) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const float x = a.m[r][c], y = b.m[r][c];
            if (std::isnan(x) && std::isnan(y)) continue;
            if (std::memcmp(&x, &y, sizeof(float)) != 0) return false;
        }
    }
    return true;
}

}  // namespace

// The model's node pass must give exactly what the per-node local and global updates give, for
// every mix of IK, append and scale terms, including values at the edges of float arithmetic:
// signed zeros, quaternions that aren't unit, denormals, overflow, infinities and NaNs.
TEST_F(PMXNodeTest, NodePassMatchesPerNodeUpdatesBitForBit) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Pose {
        const char* what;
        quat rotate, animRotate, ikRotate, sourceRotate;
        vec3 translate, animTranslate, scale;
    };
    const Pose poses[] = {
        {"unit turns", AxisAngle({1, 0, 0}, 0.3f), AxisAngle({0, 1, 0}, 0.7f), AxisAngle({0, 0, 1}, -0.4f),
         AxisAngle({1, 1, 0}, 0.9f), {1, 2, 3}, {-0.5f, 0.25f, 4}, {1, 1, 1}},
        {"identities and signed zeros", {-0.0f, 0.0f, -0.0f, 1}, {0.0f, -0.0f, -0.0f, 1}, {-0.0f, -0.0f, 0.0f, 1},
         {-0.0f, 0.0f, 0.0f, -1}, {-0.0f, 0.0f, -0.0f}, {0.0f, -0.0f, -0.0f}, {1, 1, 1}},
        {"not unit, scaled", {2, -3, 0.5f, 0.1f}, {0.1f, 0.2f, -7, 3}, {-1, 1, 1, -1}, {0.5f, 0.5f, 0.5f, 0.5f},
         {1e-3f, -7, 12}, {3, 0, -1}, {2, 1, 0.5f}},
        {"denormals", {1e-40f, -1e-41f, 1e-39f, 1}, {1e-39f, 0, -1e-40f, 1}, {0, 1e-42f, 0, 1}, {1e-40f, 0, 0, 1},
         {1e-41f, -1e-40f, 0}, {-1e-39f, 1e-40f, 0}, {1, 1e-40f, 1}},
        {"overflow", {1e20f, 1e20f, -1e20f, 1e20f}, {0.5f, 0.5f, 0.5f, 0.5f}, {1e19f, 0, 0, 1}, {0, 1e25f, 0, 1},
         {3e38f, -3e38f, 1}, {3e38f, -3e38f, -1}, {1e30f, 1e30f, -1e30f}},
        {"infinite and NaN", {inf, 0, 0, 1}, {0, nan, 0, 1}, {0, 0, -inf, 1}, {nan, 0, 0, 1},
         {inf, -inf, 0}, {nan, 1, 2}, {inf, 1, nan}},
    };
    // Bone 0 a root; 1 its child with IK; 2 appends 1's turn and move; 3 under 0 with both appends
    // from 2 and IK; 4 a second root.
    const std::vector<PMXBone> bones = {
        Bone(u"root", {0, 1, 0}, -1),
        Bone(u"ik", {0, 2, 0.5f}, 0),
        Bone(u"append", {1, 2, 0}, 1, kAppendRotate | kAppendTranslate, 1, 0.7f),
        Bone(u"both", {-1, 3, 0}, 0, kAppendRotate | kAppendTranslate | kAppendLocal, 2, -0.3f),
        Bone(u"root2", {4, 0, -2}, -1),
    };
    for (const Pose& pose : poses) {
        SCOPED_TRACE(pose.what);
        MMDNodeManager reference, walked;
        SetupPMXNodes(bones, reference);
        SetupPMXNodes(bones, walked);
        for (MMDNodeManager* m : {&reference, &walked}) {
            for (int i = 0; i < 5; ++i) {
                PMXNode* n = m->GetNode(i);
                n->BeginUpdate();
                n->SetRotate(i == 1 ? pose.sourceRotate : pose.rotate);
                n->SetAnimateRotate(pose.animRotate);
                n->SetTranslate(n->GetTranslate() + pose.translate);
                n->SetAnimateTranslate(pose.animTranslate);
                n->SetIKRotate(pose.ikRotate);
                n->EnableIK(i == 1 || i == 3);
                if (i != 0) n->SetScale(pose.scale);
            }
            m->GetNode(2)->UpdateAppendTransform();
            m->GetNode(3)->UpdateAppendTransform();
        }
        for (int i = 0; i < 5; ++i) {
            reference.GetNode(i)->UpdateLocalTransform();
            reference.GetNode(i)->UpdateOwnGlobalTransform();
        }
        std::vector<PMXNode*> order;
        for (int i = 0; i < 5; ++i) order.push_back(walked.GetNode(i));
        PMXNode::UpdateLocalsAndGlobals(order);
        for (int i = 0; i < 5; ++i) {
            EXPECT_TRUE(SameBits(reference.GetNode(i)->GetLocalTransform(), walked.GetNode(i)->GetLocalTransform()))
                << "local of bone " << i;
            EXPECT_TRUE(SameBits(reference.GetNode(i)->GetGlobalTransform(), walked.GetNode(i)->GetGlobalTransform()))
                << "global of bone " << i;
        }
    }
}
