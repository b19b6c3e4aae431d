// The motion's per-frame evaluation alone: 300 bones keyed every 10 frames with random turns and
// moves, and 50 morphs, played forward a frame at a time. Argument: 0 straight-line curves, 1
// every channel eased (control points (64, 0) and (64, 127)). The fixed-axis variant flags every
// bone with a fixed axis, so each evaluated rotation is also reduced to a turn about it.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "model/PMXModel.h"
#include "model/io/VMDFile.h"
#include "model/motion/VMDModelAnimation.h"
#include "tests/support/VmdWriter.h"

namespace {

constexpr int kBones = 300;
constexpr int kMorphs = 50;

std::string Name(char prefix, int i) { return prefix + std::to_string(i); }
std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

Vesma::PMXFile MakeRig(bool fixedAxes) {
    Vesma::PMXFile file;
    for (int i = 0; i < kBones; ++i) {
        Vesma::PMXBone b;
        b.name = Wide(Name('b', i));
        if (fixedAxes) {
            b.boneFlag = static_cast<uint16_t>(Vesma::PMXBoneFlags::FixedAxis);
            b.fixedAxis = {static_cast<float>(i % 3), 1.0f, static_cast<float>(i % 5) - 2.0f};
        }
        b.position = {static_cast<float>(i % 7), static_cast<float>(i % 11), 0};
        b.parentBoneIndex = i == 0 ? -1 : (i - 1) / 4;
        b.appendBoneIndex = -1;
        b.ikTargetBoneIndex = -1;
        file.bones.push_back(b);
    }
    Vesma::PMXVertex v;
    v.weightType = Vesma::PMXVertexWeight::BDEF1;
    v.boneIndices = {0, -1, -1, -1};
    v.boneWeights = {1, 0, 0, 0};
    file.vertices.push_back(v);
    for (int m = 0; m < kMorphs; ++m) {
        Vesma::PMXMorph morph;
        morph.name = Wide(Name('m', m));
        morph.morphType = Vesma::PMXMorphType::Position;
        morph.positionMorph.push_back({0, {0, 1, 0}});
        file.morphs.push_back(morph);
    }
    return file;
}

Vesma::VMDFile MakeMotion(bool eased) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    Vesma::VMDFile vmd;
    for (uint32_t frame = 0; frame <= 300; frame += 10) {
        for (int b = 0; b < kBones; ++b) {
            const Math::quat turn = Math::QuaternionRotationAxis(
                Math::Normalize(Math::vec3(unit(rng), unit(rng), unit(rng))), 0.3f * unit(rng));
            vmd.boneKeys.push_back(TestSupport::MakeBoneKey(Name('b', b), frame, {unit(rng), unit(rng), unit(rng)}, turn));
            if (eased) {
                TestSupport::SetBoneKeyCurves(vmd.boneKeys.back(), 64, 0, 64, 127);
            }
        }
        for (int m = 0; m < kMorphs; ++m) {
            vmd.morphKeys.push_back(TestSupport::MakeMorphKey(Name('m', m), frame, 0.5f + 0.5f * unit(rng)));
        }
    }
    return vmd;
}

void RunMotion(benchmark::State& state, bool fixedAxes) {
    auto model = std::make_shared<Vesma::PMXModel>();
    model->Load(MakeRig(fixedAxes), u"bench");
    Vesma::VMDModelAnimation motion;
    motion.Bind(model);
    motion.AddMotion(MakeMotion(state.range(0) != 0));
    float frame = 0;
    for (auto _ : state) {
        motion.Evaluate(frame);
        frame = frame >= 300 ? 0 : frame + 1;
    }
}

void BM_MotionEvaluate(benchmark::State& state) { RunMotion(state, false); }
void BM_MotionEvaluateFixedAxes(benchmark::State& state) { RunMotion(state, true); }
BENCHMARK(BM_MotionEvaluate)->ArgName("eased")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MotionEvaluateFixedAxes)->ArgName("eased")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
