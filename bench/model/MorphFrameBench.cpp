// A model's per-frame morph pass on its own (one bone, so the node pass costs next to nothing):
// 5000 vertices, 45 position morphs of 300 random offsets and 5 UV morphs of 300, weights that
// change every frame. Argument: 0 keeps the same morphs active in every frame; 1 switches a tenth
// of them off in each frame, a different tenth each time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>

#include "model/PMXModel.h"

namespace {

Vesma::PMXFile MakeMorphModel() {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_int_distribution<int32_t> vertex(0, 4999);
    Vesma::PMXFile file;
    Vesma::PMXBone bone;
    bone.name = u"root";
    bone.parentBoneIndex = -1;
    bone.appendBoneIndex = -1;
    bone.ikTargetBoneIndex = -1;
    file.bones.push_back(bone);
    for (int i = 0; i < 5000; ++i) {
        Vesma::PMXVertex v;
        v.position = {unit(rng), unit(rng), unit(rng)};
        v.normal = {0, 1, 0};
        v.weightType = Vesma::PMXVertexWeight::BDEF1;
        v.boneIndices = {0, -1, -1, -1};
        v.boneWeights = {1, 0, 0, 0};
        file.vertices.push_back(v);
    }
    for (int m = 0; m < 50; ++m) {
        Vesma::PMXMorph morph;
        morph.name = u"m" + std::u16string(1, static_cast<char16_t>(u'A' + m));
        if (m % 10 == 9) {
            morph.morphType = Vesma::PMXMorphType::UV;
            for (int k = 0; k < 300; ++k) morph.uvMorph.push_back({vertex(rng), {unit(rng), unit(rng), 0, 0}});
        } else {
            morph.morphType = Vesma::PMXMorphType::Position;
            for (int k = 0; k < 300; ++k) morph.positionMorph.push_back({vertex(rng), {unit(rng), unit(rng), unit(rng)}});
        }
        file.morphs.push_back(morph);
    }
    return file;
}

void BM_MorphFrame(benchmark::State& state) {
    const bool switching = state.range(0) != 0;
    Vesma::PMXModel model;
    model.Load(MakeMorphModel(), u"bench");
    const auto& morphs = model.GetMorphManager().GetMorphs();
    int frame = 0;
    for (auto _ : state) {
        for (size_t m = 0; m < morphs.size(); ++m) {
            const bool off = switching && (frame + static_cast<int>(m)) % 10 == 0;
            morphs[m]->SetWeight(off ? 0.0f : 0.5f + 0.4f * std::sin(0.1f * static_cast<float>(frame + m)));
        }
        model.BeginAnimation();
        model.UpdateMorphsAndNodes();
        benchmark::DoNotOptimize(model.GetMorphPositionOffsets().data());
        ++frame;
    }
}
BENCHMARK(BM_MorphFrame)->ArgName("switching")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
