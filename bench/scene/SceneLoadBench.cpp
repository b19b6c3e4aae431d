// Scene load, by stage, for a character-sized generated model (100,000 vertices, 150 rigid
// bodies, no textures) and for the sample model: parse, model build, physics build (the model
// built with and without its rigid bodies and joints), motion warm-up, and GPU upload where a
// device exists. Goal: parse + model build + physics build under 20 ms of CPU.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <vector>

#include "Engine/EngineCore.h"
#include "model/PMXModel.h"
#include "model/io/PmxReader.h"
#include "model/io/PmxWriter.h"
#include "model/io/VmdReader.h"
#include "model/motion/VMDModelAnimation.h"
#include "renderer/PMXModelGpu.h"
#include "tests/support/PmxBuilders.h"
#include "tests/support/VmdWriter.h"

namespace {

TestSupport::LargePmxShape CharacterShape() {
    TestSupport::LargePmxShape shape;
    shape.vertices = 100000;
    shape.rigidBodies = 150;
    return shape;
}

const std::vector<uint8_t>& CharacterBytes(bool withPhysics) {
    static std::vector<uint8_t> bytes[2];
    std::vector<uint8_t>& out = bytes[withPhysics ? 1 : 0];
    if (out.empty()) {
        Vesma::PMXFile file = TestSupport::MakeLargePmx(CharacterShape());
        if (!withPhysics) {
            file.rigidBodies.clear();
            file.joints.clear();
        }
        out = Vesma::WritePmx(file);
    }
    return out;
}

void BM_ParsePmx(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = CharacterBytes(true);
    for (auto _ : state) {
        Vesma::PMXFile file;
        benchmark::DoNotOptimize(Vesma::ReadPMXFile(file, std::span<const uint8_t>(bytes)));
    }
}
BENCHMARK(BM_ParsePmx)->Unit(benchmark::kMillisecond);

// Model build from a parsed file; range 0: without physics, 1: with 150 rigid bodies.
void BM_BuildModel(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = CharacterBytes(state.range(0) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        Vesma::PMXFile file;
        Vesma::ReadPMXFile(file, std::span<const uint8_t>(bytes));
        auto model = std::make_unique<Vesma::PMXModel>();
        state.ResumeTiming();
        model->Load(std::move(file), u"bench");
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildModel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Parse and build together, the figure the 20 ms goal is about.
void BM_LoadCharacterBeforeWarmUp(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = CharacterBytes(true);
    for (auto _ : state) {
        auto model = std::make_unique<Vesma::PMXModel>();
        Vesma::PMXFile file;
        Vesma::ReadPMXFile(file, std::span<const uint8_t>(bytes));
        model->Load(std::move(file), u"bench");
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadCharacterBeforeWarmUp)->Unit(benchmark::kMillisecond);

void BM_LoadSampleModel(benchmark::State& state) {
    for (auto _ : state) {
        Vesma::PMXModel model;
        benchmark::DoNotOptimize(model.Load(u"<Sample>"));
    }
}
BENCHMARK(BM_LoadSampleModel)->Unit(benchmark::kMillisecond);

// Warm-up (the motion keys the model's first bone, "ボーン0" in Shift_JIS): 60 posing and physics rounds, then the reset to the rest pose and frame 0.
void BM_WarmUp(benchmark::State& state) {
    auto model = std::make_shared<Vesma::PMXModel>();
    Vesma::PMXFile file;
    Vesma::ReadPMXFile(file, std::span<const uint8_t>(CharacterBytes(true)));
    model->Load(std::move(file), u"bench");
    Vesma::VMDModelAnimation motion;
    motion.Bind(model);
    TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature("bench");
    for (uint32_t key = 0; key < 4; ++key)
        content.boneKeys.push_back(TestSupport::MakeBoneKey("\x83\x7B\x81\x5B\x83\x93" "0", key * 30, {float(key), 0, 0}));
    Vesma::VMDFile vmd;
    Vesma::ReadVMDFile(vmd, TestSupport::WriteVmd(content).bytes);
    motion.AddMotion(vmd);
    for (auto _ : state) {
        motion.WarmUpPhysics(0.0f);
        model->ResetPose();
        motion.Evaluate(0.0f, 1.0f);
    }
}
BENCHMARK(BM_WarmUp)->Unit(benchmark::kMillisecond);

// GPU side: material table, texture table (no textures), buffers filled for every frame.
void BM_GpuUpload(benchmark::State& state) {
    Engine::EngineCore* core = nullptr;
    try {
        core = Engine::EngineCore::GetInstance().get();
        core->SetHeadlessOutput(64, 64);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    Vesma::PMXModel model;
    Vesma::PMXFile file;
    Vesma::ReadPMXFile(file, std::span<const uint8_t>(CharacterBytes(true)));
    model.Load(std::move(file), u"bench");
    for (auto _ : state) {
        ProjectTavrin::PMXModelGpu gpu(model);
        gpu.CreateGpuResources(*core);
        state.PauseTiming();
        core->WaitForGpu();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GpuUpload)->Unit(benchmark::kMillisecond);

}  // namespace
