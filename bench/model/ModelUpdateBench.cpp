// One frame of a model's whole CPU update (motion evaluation, morphs, nodes, IK, skinning; no
// physics) on generated character-sized models, with the time of each phase as counters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <map>
#include <thread>
#include <tuple>
#include <vector>

#include "bench/model/FrameTiming.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/io/VMDFile.h"
#include "model/motion/VMDModelAnimation.h"
#include "tests/support/VmdWriter.h"

namespace {

using Math::quat;
using Math::vec3;

struct Shape {
    size_t vertices;
    size_t bones;
    size_t ikChains;
    size_t morphs;
    size_t activeMorphs;
};

std::string BoneName(size_t i) { return "b" + std::to_string(i); }
std::string MorphName(size_t i) { return "m" + std::to_string(i); }
std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Bones: a root, `ikChains` legs (three links with a knee limited about x, a target and the IK
// bone with 40 loops), the rest a four-way tree under the root. Vertices: a fifth each BDEF1 and
// SDEF, the rest BDEF2 and BDEF4 over random bones. Morphs: position morphs of 300 offsets, every
// tenth a bone morph.
Vesma::PMXFile MakeModel(const Shape& shape) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    Vesma::PMXFile file;
    auto addBone = [&](vec3 position, int32_t parent) -> Vesma::PMXBone& {
        Vesma::PMXBone b;
        b.name = Wide(BoneName(file.bones.size()));
        b.position = position;
        b.parentBoneIndex = parent;
        b.appendBoneIndex = -1;
        b.ikTargetBoneIndex = -1;
        file.bones.push_back(b);
        return file.bones.back();
    };
    addBone({0, 0, 0}, -1);
    for (size_t k = 0; k < shape.ikChains; ++k) {
        const float x = static_cast<float>(k) - shape.ikChains / 2.0f;
        const int32_t hip = static_cast<int32_t>(file.bones.size());
        addBone({x, 10, 0}, 0);
        addBone({x, 6, 0.1f}, hip);
        addBone({x, 2, 0}, hip + 1);
        addBone({x, 1, -1}, hip + 2);
        Vesma::PMXBone& ik = addBone({x, 2, 0}, 0);
        ik.boneFlag = 0x0020;
        ik.ikTargetBoneIndex = hip + 2;
        ik.ikIterationCount = 40;
        ik.ikLimit = 2.0f;
        ik.ikLinks = {{hip + 1, 1, {-3.1415927f, 0, 0}, {-0.008726646f, 0, 0}}, {hip, 0, {}, {}}};
    }
    const size_t treeStart = file.bones.size();
    while (file.bones.size() < shape.bones) {
        const size_t i = file.bones.size();
        const int32_t parent = i == treeStart ? 0 : static_cast<int32_t>(treeStart + (i - treeStart - 1) / 4);
        addBone({unit(rng) * 5, 10 + unit(rng) * 5, unit(rng) * 5}, parent);
    }

    std::uniform_int_distribution<int32_t> bone(0, static_cast<int32_t>(shape.bones) - 1);
    for (size_t i = 0; i < shape.vertices; ++i) {
        Vesma::PMXVertex v;
        v.position = {unit(rng) * 5, 10 + unit(rng) * 10, unit(rng) * 3};
        v.normal = Math::Normalize(vec3(unit(rng), unit(rng), unit(rng)));
        v.uv = {0.5f, 0.5f};
        switch (i % 5) {
            case 0: v.weightType = Vesma::PMXVertexWeight::BDEF1; v.boneIndices = {bone(rng), -1, -1, -1}; break;
            case 1:
            case 2:
                v.weightType = Vesma::PMXVertexWeight::BDEF2;
                v.boneIndices = {bone(rng), bone(rng), -1, -1};
                v.boneWeights = {0.7f, 0, 0, 0};
                break;
            case 3:
                v.weightType = Vesma::PMXVertexWeight::BDEF4;
                v.boneIndices = {bone(rng), bone(rng), bone(rng), bone(rng)};
                v.boneWeights = {0.4f, 0.3f, 0.2f, 0.1f};
                break;
            default:
                v.weightType = Vesma::PMXVertexWeight::SDEF;
                v.boneIndices = {bone(rng), bone(rng), -1, -1};
                v.boneWeights = {0.6f, 0, 0, 0};
                v.sdefC = v.position;
                v.sdefR0 = v.position + vec3(0, 0.5f, 0);
                v.sdefR1 = v.position - vec3(0, 0.5f, 0);
                break;
        }
        file.vertices.push_back(v);
    }

    std::uniform_int_distribution<int32_t> vertex(0, static_cast<int32_t>(shape.vertices) - 1);
    for (size_t m = 0; m < shape.morphs; ++m) {
        Vesma::PMXMorph morph;
        morph.name = Wide(MorphName(m));
        if (m % 10 == 9) {
            morph.morphType = Vesma::PMXMorphType::Bone;
            for (int k = 0; k < 4; ++k) morph.boneMorph.push_back({bone(rng), {0, 0.1f, 0}, {0, 0, 0.0998f, 0.995f}});
        } else {
            morph.morphType = Vesma::PMXMorphType::Position;
            for (int k = 0; k < 300; ++k) morph.positionMorph.push_back({vertex(rng), {unit(rng), unit(rng), unit(rng)}});
        }
        file.morphs.push_back(morph);
    }
    return file;
}

// Keys every 10 frames for every bone (random turns; the IK bones move), and for the active
// morphs. Bone keys carry straight-line curves, or with `eased` an ease-in-out on every channel
// (control points (64, 0) and (64, 127)), which makes every evaluation solve its curves.
Vesma::VMDFile MakeMotion(const Shape& shape, bool eased) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    Vesma::VMDFile vmd;
    for (uint32_t frame = 0; frame <= 300; frame += 10) {
        for (size_t b = 0; b < shape.bones; ++b) {
            const quat turn = Math::QuaternionRotationAxis(Math::Normalize(vec3(unit(rng), unit(rng), unit(rng))),
                                                           0.3f * unit(rng));
            vmd.boneKeys.push_back(TestSupport::MakeBoneKey(BoneName(b), frame, {unit(rng), unit(rng), unit(rng)}, turn));
            if (eased) {
                TestSupport::SetBoneKeyCurves(vmd.boneKeys.back(), 64, 0, 64, 127);
            }
        }
        for (size_t m = 0; m < shape.activeMorphs; ++m) {
            vmd.morphKeys.push_back(TestSupport::MakeMorphKey(MorphName(m), frame, 0.5f + 0.5f * unit(rng)));
        }
    }
    return vmd;
}

struct Scene {
    std::shared_ptr<Vesma::PMXModel> model = std::make_shared<Vesma::PMXModel>();
    Vesma::VMDModelAnimation motion;
    Scene(const Shape& shape, bool eased) {
        model->Load(MakeModel(shape), u"bench");
        motion.Bind(model);
        motion.AddMotion(MakeMotion(shape, eased));
        model->ResetPose();
    }
};

Scene& SceneFor(int64_t vertices, int64_t bones, bool eased = false) {
    static std::map<std::tuple<int64_t, int64_t, bool>, std::unique_ptr<Scene>> scenes;
    auto& scene = scenes[{vertices, bones, eased}];
    if (!scene) {
        scene = std::make_unique<Scene>(Shape{static_cast<size_t>(vertices), static_cast<size_t>(bones), 10, 300, 50}, eased);
    }
    return *scene;
}

// Arguments: vertex count, bone count, skinning on (1) or off (0), skinning workers (0: all cores).
void RunFrames(benchmark::State& state, bool eased) {
    Scene* scene = &SceneFor(state.range(0), state.range(1), eased);
    Vesma::PMXModel& model = *scene->model;
    if (state.range(3) != 0) model.SetWorkerCount(static_cast<size_t>(state.range(3)));
    else model.SetWorkerCount(std::max(1u, std::thread::hardware_concurrency()));
    BenchSupport::TimeFrames(state, model, scene->motion, 1.0f, 300.0f, state.range(2) != 0);
}
void BM_ModelFrame(benchmark::State& state) { RunFrames(state, false); }
BENCHMARK(BM_ModelFrame)
    ->Args({100000, 500, 1, 0})
    ->Args({100000, 500, 1, 1})
    ->Args({5000, 300, 0, 1})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The same frame with every bone key's curves eased, as hand-keyed motions mostly are.
void BM_ModelFrameEasedCurves(benchmark::State& state) { RunFrames(state, true); }
BENCHMARK(BM_ModelFrameEasedCurves)->Args({5000, 300, 0, 1})->Unit(benchmark::kMicrosecond)->UseRealTime();

// Skinning alone: UpdateVertices on one posed frame (morphs active). Arguments: vertex count, bone
// count, skinning workers.
void BM_Skinning(benchmark::State& state) {
    Scene& scene = SceneFor(state.range(0), state.range(1));
    Vesma::PMXModel& model = *scene.model;
    model.SetWorkerCount(static_cast<size_t>(state.range(2)));
    Vesma::ModelFrame pose;
    pose.model = &model;
    pose.animation = &scene.motion;
    pose.frame = 15.5f;
    pose.physics = Vesma::PhysicsStep::Skip;
    pose.skin = false;
    pose.Run();
    for (auto _ : state) model.UpdateVertices();
}
BENCHMARK(BM_Skinning)->Args({100000, 500, 1})->Args({100000, 500, 2})->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
