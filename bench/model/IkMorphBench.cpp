// The IK solve of typical chains and the morph pass of a character-sized model, per frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "model/ik/MMDIKManager.h"
#include "model/morph/MMDMorphManager.h"
#include "model/morph/PMXMorphSetup.h"
#include "model/skeleton/MMDNodeManager.h"
#include "tests/support/PmxBuilders.h"

namespace {

using Math::vec3;

Vesma::PMXBone Bone(vec3 position, int32_t parent) {
    Vesma::PMXBone b;
    b.name = u"bone";
    b.position = position;
    b.parentBoneIndex = parent;
    return b;
}

// A leg as character models rig it: hip, knee (bends one way about x), ankle, and the leg IK bone
// with 40 loops; plus a three-bone unlimited arm chain with 20 loops. The goals move every frame.
void BM_IkSolve(benchmark::State& state) {
    const bool arm = state.range(0) != 0;
    std::vector<Vesma::PMXBone> bones = {Bone({0, 2, 0}, -1), Bone({0, 1, 0.05f}, 0), Bone({0, 0, 0}, 1),
                                         Bone({0, 3, 0}, -1), Bone({1, 3, 0}, 3), Bone({2, 3, 0}, 4),
                                         Bone({3, 3, 0}, 5)};
    Vesma::PMXBone leg = Bone({0, 0.3f, 0}, -1);
    leg.boneFlag = 0x0020;
    leg.ikTargetBoneIndex = 2;
    leg.ikIterationCount = 40;
    leg.ikLimit = 2.0f;
    leg.ikLinks = {{1, 1, {-3.1415927f, 0, 0}, {-0.008726646f, 0, 0}}, {0, 0, {}, {}}};
    Vesma::PMXBone hand = Bone({2, 2, 1}, -1);
    hand.boneFlag = 0x0020;
    hand.ikTargetBoneIndex = 6;
    hand.ikIterationCount = 20;
    hand.ikLimit = 1.0f;
    hand.ikLinks = {{5, 0, {}, {}}, {4, 0, {}, {}}, {3, 0, {}, {}}};
    bones.push_back(leg);
    bones.push_back(hand);

    Vesma::MMDNodeManager nodes;
    Vesma::MMDIKManager iks;
    Vesma::SetupPMXNodes(bones, nodes);
    Vesma::SetupPMXIkSolvers(bones, nodes, iks);
    Vesma::PMXNode* goal = nodes.GetNode(arm ? 8 : 7);
    Vesma::MMDIkSolver* solver = goal->GetIKSolver();

    float t = 0.0f;
    for (auto _ : state) {
        for (const auto& n : nodes.GetNodes()) n->BeginUpdate();
        t += 1.0f / 30.0f;
        goal->SetAnimateTranslate({0.3f * std::sin(t), 0.2f * std::sin(1.7f * t), 0.3f * std::cos(t)});
        for (const auto& n : nodes.GetNodes()) n->ComputeLocalTransform();
        for (const auto& n : nodes.GetNodes()) {
            if (!n->GetParent()) n->UpdateGlobalTransform();
        }
        solver->Solve();
        benchmark::DoNotOptimize(nodes.GetNode(arm ? 6 : 2)->GetGlobalTransform());
    }
}
BENCHMARK(BM_IkSolve)->ArgName("arm")->Arg(0)->Arg(1);

// The morph pass of a 100,000-vertex model with 300 morphs of every kind, `range(0)` of them active
// at weight 0.5: clearing the per-vertex offsets, resetting the material factors, applying every
// morph and combining the factors.
void BM_MorphPass(benchmark::State& state) {
    TestSupport::LargePmxShape shape;
    shape.vertices = 100000;
    shape.bones = 500;
    shape.morphs = 300;
    const Vesma::PMXFile pmx = TestSupport::MakeLargePmx(shape);
    Vesma::MMDNodeManager nodes;
    Vesma::SetupPMXNodes(pmx.bones, nodes);
    Vesma::MMDMorphManager morphs;
    Vesma::SetupPMXMorphs(pmx.morphs, nodes, pmx.vertices.size(), pmx.materials.size(), morphs);
    const int64_t active = state.range(0);
    for (int64_t i = 0; i < active; ++i) {
        morphs.GetMorph(i * 300 / active)->SetWeight(0.5f);
    }

    std::vector<vec3> positions(pmx.vertices.size());
    std::vector<Math::vec4> uvs(pmx.vertices.size());
    std::vector<Vesma::MaterialMorphFactors> mul(pmx.materials.size());
    std::vector<Vesma::MaterialMorphFactors> add(pmx.materials.size());
    std::vector<Vesma::MaterialMorphResult> results(pmx.materials.size());
    for (auto _ : state) {
        std::fill(positions.begin(), positions.end(), vec3());
        std::fill(uvs.begin(), uvs.end(), Math::vec4());
        for (size_t m = 0; m < mul.size(); ++m) {
            const Vesma::PMXMaterial& material = pmx.materials[m];
            mul[m] = Vesma::InitialMultiplyFactors(material.diffuse, material.specular, material.specularPower,
                                                   material.ambient);
            add[m] = {};
        }
        morphs.ApplyMorphs({positions, uvs, mul, add});
        for (size_t m = 0; m < mul.size(); ++m) {
            results[m] = Vesma::CombineMaterialMorph(mul[m], add[m]);
        }
        benchmark::DoNotOptimize(results.data());
        benchmark::DoNotOptimize(positions.data());
    }
}
BENCHMARK(BM_MorphPass)->ArgName("active")->Arg(50)->Arg(300)->Unit(benchmark::kMicrosecond);

}  // namespace
