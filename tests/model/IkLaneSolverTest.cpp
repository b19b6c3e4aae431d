// Chains solved together in SIMD lanes must end exactly where solving them one at a time leaves
// them, and the pass may only gather chains that don't depend on one another.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "ModelTestRigs.h"
#include "model/ik/MMDIkSolver.h"
#include "model/skeleton/NodePassSchedule.h"
#include "model/skeleton/PMXNode.h"

namespace {

using Math::quat;
using Math::vec3;
using ModelRigs::Bone;

struct Rig {
    Vesma::PMXFile file;

    int32_t Add(Vesma::PMXBone bone) {
        file.bones.push_back(std::move(bone));
        return static_cast<int32_t>(file.bones.size() - 1);
    }
    int32_t AddBone(const std::u16string& name, vec3 position, int32_t parent, int32_t layer = 0) {
        return Add(Bone(name, position, parent, layer));
    }
    /// An IK bone at the target's position with the given links (file limits, radians).
    int32_t AddIk(const std::u16string& name, int32_t parent, int32_t target, int32_t loops, float limit,
                  std::vector<Vesma::PMXIKLink> links) {
        const Vesma::PMXBone& t = file.bones[target];
        Vesma::PMXBone bone = Bone(name, {t.position.x, t.position.y, -t.position.z}, parent);
        bone.boneFlag = ModelRigs::kIKFlag;
        bone.ikTargetBoneIndex = target;
        bone.ikIterationCount = loops;
        bone.ikLimit = limit;
        bone.ikLinks = std::move(links);
        return Add(bone);
    }
    /// Bones a<n> -> b<n> -> t<n> at x, hanging from `parent`, and their two-link IK bone ik<n>
    /// under `ikParent`; returns a<n>.
    int32_t AddChain(const std::u16string& n, float x, int32_t parent, int32_t ikParent) {
        const int32_t a = AddBone(u"a" + n, {x, 5, 0}, parent);
        const int32_t b = AddBone(u"b" + n, {x, 3, 0}, a);
        const int32_t t = AddBone(u"t" + n, {x, 1, 0}, b);
        AddIk(u"ik" + n, ikParent, t, 10, 1.0f, {Free(b), Free(a)});
        return a;
    }
    static Vesma::PMXIKLink Free(int32_t bone) {
        Vesma::PMXIKLink link;
        link.ikBoneIndex = bone;
        return link;
    }
    static Vesma::PMXIKLink Limited(int32_t bone, vec3 lower, vec3 upper) {
        Vesma::PMXIKLink link = Free(bone);
        link.enableLimit = 1;
        link.limitMin = lower;
        link.limitMax = upper;
        return link;
    }
};

// Four legs (knee turning about x alone, free thigh) with different loop counts and step limits,
// nine three-link tails with step limits that take every path of the turn (clamped, unclamped,
// a limit of half a turn or more, and none at all), and three arms limited on two axes.
Vesma::PMXFile MakeManyChains() {
    Rig r;
    const int32_t root = r.AddBone(u"root", {0, 0, 0}, -1);
    const int32_t center = r.AddBone(u"center", {0, 10, 0}, root);
    const int32_t loops[] = {40, 7, 40, 3};
    const float legLimits[] = {2.0f, 0.5f, 2.0f, 1.0f};
    for (int k = 0; k < 4; ++k) {
        const float x = 2.0f * static_cast<float>(k) - 3.0f;
        const std::u16string n = u"leg" + std::u16string(1, static_cast<char16_t>(u'0' + k));
        const int32_t thigh = r.AddBone(n + u"thigh", {x, 9, 0}, center);
        const int32_t knee = r.AddBone(n + u"knee", {x, 5, -0.2f}, thigh);
        const int32_t ankle = r.AddBone(n + u"ankle", {x, 1, 0}, knee);
        r.AddIk(n + u"IK", root, ankle, loops[k], legLimits[k],
                {Rig::Limited(knee, {-3.1f, 0, 0}, {-0.01f, 0, 0}), Rig::Free(thigh)});
    }
    const float tailLimits[] = {0.3f, 0.3f, 4.0f, 0.0f, 1.0f, 0.3f, 2.0f, 0.1f, 0.7f};
    for (int k = 0; k < 9; ++k) {
        const float x = static_cast<float>(k) - 2.0f;
        const std::u16string n = u"tail" + std::u16string(1, static_cast<char16_t>(u'0' + k));
        const int32_t a = r.AddBone(n + u"a", {x, 10, 1}, center);
        const int32_t b = r.AddBone(n + u"b", {x, 9, 2}, a);
        const int32_t c = r.AddBone(n + u"c", {x, 8, 3}, b);
        const int32_t tip = r.AddBone(n + u"tip", {x, 7, 4}, c);
        r.AddIk(n + u"IK", center, tip, 12, tailLimits[k], {Rig::Free(c), Rig::Free(b), Rig::Free(a)});
    }
    for (int k = 0; k < 3; ++k) {
        const float y = 12.0f + static_cast<float>(k);
        const std::u16string n = u"arm" + std::u16string(1, static_cast<char16_t>(u'0' + k));
        const int32_t shoulder = r.AddBone(n + u"shoulder", {1, y, 0}, center);
        const int32_t elbow = r.AddBone(n + u"elbow", {4, y, 0}, shoulder);
        const int32_t hand = r.AddBone(n + u"hand", {7, y, 0}, elbow);
        r.AddIk(n + u"IK", root, hand, 20, 0.6f,
                {Rig::Limited(elbow, {-1.5f, 0, -2.0f}, {1.2f, 0, 0.3f}), Rig::Free(shoulder)});
    }
    return r.file;
}

// Random animate values for every bone, random off switches for some solvers, and now and then a
// scale on a link, the same for each model the generator is seeded alike for.
void PoseRandomly(Vesma::PMXModel& model, std::mt19937& rng) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    model.BeginAnimation();
    for (const auto& node : model.GetNodeManager().GetNodes()) {
        const bool isIk = node->GetIKSolver() != nullptr;
        node->SetAnimateTranslate(isIk ? vec3(4 * unit(rng), 4 * unit(rng), 4 * unit(rng)) : vec3());
        node->SetAnimateRotate(Math::Normalize(quat(0.4f * unit(rng), 0.4f * unit(rng), 0.4f * unit(rng), 1.0f)));
        if (unit(rng) > 0.9f) node->SetScale({1.0f, 1.0f + 0.2f * unit(rng), 1.0f});
    }
    for (const auto& solver : model.GetIKManager().GetIKSolvers()) solver->Enable(unit(rng) > -0.8f);
}

bool SameBits(const Math::mat4& a, const Math::mat4& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

std::size_t SharedSolves(const Vesma::PMXModel& model) {
    std::size_t shared = 0;
    for (const Vesma::NodePassStep& step : model.GetPassSchedule().GetSteps()) {
        shared += step.solverCount > 1 ? step.solverCount : 0;
    }
    return shared;
}

// Plays the same random frames on two copies of `file`, one solving in lanes, and requires every
// bone's global, every link's IK rotate and the solvers' saved rotates to match to the bit.
// `avx`: whether more than four chains may share one AVX register (where the processor has AVX).
void ExpectLanesMatchOneAtATime(const Vesma::PMXFile& file, int frames, std::size_t expectedShared, bool avx = true) {
    auto lanes = ModelRigs::LoadModel(file);
    auto single = ModelRigs::LoadModel(file);
    ASSERT_TRUE(lanes && single);
    single->SetIkLaneSharing(false);
    lanes->GetIkLaneSolver().UseAvx(avx);
    std::mt19937 rngA(7), rngB(7);
    const auto& a = lanes->GetNodeManager().GetNodes();
    const auto& b = single->GetNodeManager().GetNodes();
    for (int frame = 0; frame < frames; ++frame) {
        PoseRandomly(*lanes, rngA);
        PoseRandomly(*single, rngB);
        lanes->UpdateMorphsAndNodes();
        single->UpdateMorphsAndNodes();
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_TRUE(SameBits(a[i]->GetGlobalTransform(), b[i]->GetGlobalTransform()))
                << "bone " << i << " differs at frame " << frame;
            ASSERT_TRUE(a[i]->GetIKRotate() == b[i]->GetIKRotate()) << "bone " << i << " at frame " << frame;
        }
    }
    EXPECT_EQ(SharedSolves(*lanes), expectedShared);
    EXPECT_EQ(SharedSolves(*single), 0u);
}

TEST(IkLaneTest, LanesEndWhereOneChainAtATimeDoes) {
    // Legs 4 and arms 3 in one group of lanes each, eight tails in two groups (one AVX register, or
    // two SSE ones) and the ninth alone.
    for (const bool avx : {true, false}) {
        SCOPED_TRACE(avx ? "AVX where the processor has it" : "SSE only");
        ExpectLanesMatchOneAtATime(MakeManyChains(), 300, 4 + 8 + 3, avx);
    }
}

TEST(IkLaneTest, DependentChainsAreNotGathered) {
    Rig r;
    const int32_t root = r.AddBone(u"root", {0, 0, 0}, -1);
    // Chain 1 and chain 2 have one shape, but chain 2's IK bone rides chain 1's first link.
    const int32_t a1 = r.AddChain(u"1", 0, root, root);
    r.AddChain(u"2", 3, root, a1);
    // Chain 3 and 4 have one shape too, but between them an append bone copies chain 3's link and
    // carries chain 4: chain 4 can't move ahead of it.
    const int32_t a3 = r.AddChain(u"3", 6, root, root);
    Vesma::PMXBone carrier = Bone(u"carrier", {9, 6, 0}, root);
    carrier.boneFlag = ModelRigs::kAppendRotateFlag;
    carrier.appendBoneIndex = a3;
    carrier.appendWeight = 0.5f;
    const int32_t carry = r.Add(carrier);
    r.AddChain(u"4", 9, carry, root);
    // Chain 5 touches none of the others, nor the carrier.
    r.AddChain(u"5", 12, root, root);
    // Chain 6 comes after an append bone that copies its first link: solving it earlier would
    // change what that bone copies.
    Vesma::PMXBone watcher = Bone(u"watcher", {15, 6, 0}, root);
    watcher.boneFlag = ModelRigs::kAppendRotateFlag;
    watcher.appendBoneIndex = static_cast<int32_t>(r.file.bones.size()) + 1;
    watcher.appendWeight = 1.0f;
    r.Add(watcher);
    r.AddChain(u"6", 15, root, root);

    auto model = ModelRigs::LoadModel(r.file);
    ASSERT_TRUE(model);
    model->UpdateMorphsAndNodes();
    std::vector<std::vector<std::u16string>> groups;
    for (const Vesma::NodePassStep& step : model->GetPassSchedule().GetSteps()) {
        std::vector<std::u16string> names;
        if (step.appendNode) names.push_back(step.appendNode->GetName());
        for (std::size_t s = 0; s < step.solverCount; ++s) names.push_back(step.solvers[s]->GetName());
        groups.push_back(names);
    }
    // Chain 1 gathers chain 3 (chain 2 rides it; chain 3 overtakes only chain 2, which it doesn't
    // touch) and chain 5 (chain 4 and the carrier don't touch it); chain 4 waits for the carrier,
    // chain 6 for the watcher.
    const std::vector<std::vector<std::u16string>> expected = {
        {u"ik1", u"ik3", u"ik5"}, {u"ik2"}, {u"carrier"}, {u"ik4"}, {u"watcher"}, {u"ik6"}};
    EXPECT_EQ(groups, expected);

    ExpectLanesMatchOneAtATime(r.file, 100, 3);
}

}  // namespace
