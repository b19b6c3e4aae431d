// Scene load, by stage, for a character-sized generated model (100,000 vertices, 150 rigid
// bodies, no textures) and for the sample model: parse, model build, physics build (the model
// built with and without its rigid bodies and joints), motion warm-up, and GPU upload where a
// device exists. Goal: parse + model build + physics build under 20 ms of CPU.
//
// The generated model's bodies are laid out as a character's are: fifteen chains of ten (hair,
// skirt, sleeves), each body clear of its neighbours and not colliding with its own chain. The
// builder's own layout, 150 bodies stacked 0.1 apart that all collide with each other, is kept as
// a worst case (`overlapping`): the physics reset at the end of the load then runs the narrow
// phase over thousands of deeply overlapping pairs.
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

enum class Bodies { None, Chains, Overlapping };

// Fifteen chains of ten: chain c stands at x = 2c, its bodies 1.2 apart upwards (sizes at most
// 0.5 across), jointed link to link, in collision group c % 16, which its own mask leaves out.
void LayBodiesInChains(Vesma::PMXFile& file) {
    constexpr size_t kChainLength = 10;
    for (size_t i = 0; i < file.rigidBodies.size(); ++i) {
        Vesma::PMXRigidBody& body = file.rigidBodies[i];
        const size_t chain = i / kChainLength;
        const size_t link = i % kChainLength;
        body.translate = {2.0f * static_cast<float>(chain), 1.2f * static_cast<float>(link), 0.0f};
        body.shapeSize = {0.25f, 0.5f, 0.25f};
        body.group = static_cast<uint8_t>(chain % 16);
        body.collisionGroup = static_cast<uint16_t>(0xFFFFu & ~(1u << body.group));
        body.op = link == 0 ? Vesma::PMXRigidBodyOperation::Static : Vesma::PMXRigidBodyOperation::Dynamic;
    }
    // The builder joins body i - 1 to body i; a joint into the first body of a chain would tie two
    // chains together.
    std::erase_if(file.joints, [&](const Vesma::PMXJoint& joint) {
        return static_cast<size_t>(joint.rigidbodyBIndex) % kChainLength == 0;
    });
    for (Vesma::PMXJoint& joint : file.joints) {
        const auto& a = file.rigidBodies[static_cast<size_t>(joint.rigidbodyAIndex)].translate;
        const auto& b = file.rigidBodies[static_cast<size_t>(joint.rigidbodyBIndex)].translate;
        joint.translate = {(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.z + b.z) * 0.5f};
    }
}

const std::vector<uint8_t>& CharacterBytes(Bodies bodies) {
    static std::vector<uint8_t> bytes[3];
    std::vector<uint8_t>& out = bytes[static_cast<int>(bodies)];
    if (out.empty()) {
        Vesma::PMXFile file = TestSupport::MakeLargePmx(CharacterShape());
        if (bodies == Bodies::None) {
            file.rigidBodies.clear();
            file.joints.clear();
        } else if (bodies == Bodies::Chains) {
            LayBodiesInChains(file);
        }
        out = Vesma::WritePmx(file);
    }
    return out;
}

const std::vector<uint8_t>& CharacterBytes(bool withPhysics) {
    return CharacterBytes(withPhysics ? Bodies::Chains : Bodies::None);
}

void BM_ParsePmx(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = CharacterBytes(true);
    for (auto _ : state) {
        Vesma::PMXFile file;
        benchmark::DoNotOptimize(Vesma::ReadPMXFile(file, std::span<const uint8_t>(bytes)));
    }
}
BENCHMARK(BM_ParsePmx)->Unit(benchmark::kMillisecond);

// Model build from a parsed file; range 0: without physics, 1: with 150 rigid bodies in chains,
// 2: with the 150 overlapping bodies.
void BM_BuildModel(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = CharacterBytes(static_cast<Bodies>(state.range(0)));
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
BENCHMARK(BM_BuildModel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

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
