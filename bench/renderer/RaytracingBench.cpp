// The ray-traced scene's per-frame GPU work on the test device (lavapipe renders on the CPU):
// rebuilding both acceleration-structure levels from a frame's vertex copies, for the built-in
// sample and a generated 100,000-vertex model; and one probe-volume update (rays, blends,
// borders, relocation) of the default volume (24 x 16 x 24 probes, 144 rays each) over the
// sample, with the engine's output at 1280 x 720 (the update itself does not depend on it).
// Each iteration records, submits and waits, so recording and GPU time are both inside.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <unistd.h>

#include "Engine/EngineCore.h"
#include "Engine/Platform/CommandList.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "assets/SampleModel.h"
#include "core/TextConvert.h"
#include "ddgi/DDGIPass.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "renderer/PMXModelGpu.h"
#include "renderer/RaytracingGeometry.h"
#include "tests/support/PmxBuilders.h"

namespace {

struct RaytracedScene {
    std::shared_ptr<Engine::EngineCore> core;
    std::unique_ptr<Vesma::PMXModel> model;
    std::unique_ptr<ProjectTavrin::PMXModelGpu> gpu;
    std::unique_ptr<Engine::SceneAccelerationStructures> scene;

    /// False (with the reason given to `state`) without a ray-tracing device.
    bool Make(benchmark::State& state, bool large) {
        try {
            core = Engine::EngineCore::GetInstance();
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            return false;
        }
        if (!core->IsRaytracingSupported()) {
            state.SkipWithError("no ray tracing on this device");
            return false;
        }
        core->SetHeadlessOutput(1280.0f, 720.0f);
        model = std::make_unique<Vesma::PMXModel>();
        if (large) {
            TestSupport::LargePmxShape shape;
            shape.vertices = 100000;
            shape.materials = 20;
            if (!model->Load(TestSupport::MakeLargePmx(shape), u"large.pmx")) throw std::runtime_error("model load");
        } else {
            model->Load(std::u16string(kSampleModelPath));
        }
        Vesma::ModelFrame job;
        job.model = model.get();
        job.Run();
        gpu = std::make_unique<ProjectTavrin::PMXModelGpu>(*model);
        gpu->CreateGpuResources(*core);
        for (uint32_t f = 0; f < Engine::kFrameCount; ++f) gpu->Upload(f);
        auto geometry = ProjectTavrin::CollectGeometry({gpu.get()});
        if (geometry.empty()) {
            state.SkipWithError("no drawable geometry");
            return false;
        }
        scene = std::make_unique<Engine::SceneAccelerationStructures>(*core->GetDevice(), std::move(geometry));
        state.counters["triangles"] = double(scene->Geometries().at("All").triangleCount);
        state.counters["geometries"] = double(scene->TotalGeometryCount());
        return true;
    }

    ~RaytracedScene() {
        if (core) core->WaitForGpu();
    }
};

// range 0: the sample; 1: the generated 100,000-vertex model.
void BM_AccelerationStructureBuild(benchmark::State& state) {
    RaytracedScene s;
    if (!s.Make(state, state.range(0) == 1)) return;
    uint32_t frame = 0;
    for (auto _ : state) {
        s.core->ResetCommandList();
        s.scene->BuildAll(*s.core->GetCommandList(), frame++ % Engine::kFrameCount);
        s.core->ExecuteCommandList();
        s.core->WaitForGpu();
    }
}
BENCHMARK(BM_AccelerationStructureBuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_ProbeVolumeUpdate(benchmark::State& state) {
    RaytracedScene s;
    if (!s.Make(state, false)) return;
    ddgi::DDGIPass pass(*s.core->GetDevice(), *s.scene);
    if (!pass.SetVolumes({0, 0, 0}, 512.0f, 1, 10.0f)) {
        state.SkipWithError("the volume could not be made");
        return;
    }
    Engine::Shared::GIOptions options{};
    options.SunDirection = {1, 1, 1};
    options.SunLightEnable = 1;
    options.SunColor = {1, 1, 1};
    options.SunIntensity = 2;
    options.AmbientColor = {1, 1, 1};
    options.AmbientIntensity = 1;
    options.SkyLightUpperLimit = 100;
    uint32_t frame = 0;
    // The structures once: the update reads them as they stand.
    s.core->ResetCommandList();
    s.scene->BuildAll(*s.core->GetCommandList(), 0);
    s.core->ExecuteCommandList();
    s.core->WaitForGpu();
    for (auto _ : state) {
        s.core->ResetCommandList();
        auto& list = *s.core->GetCommandList();
        list.SetDescriptorHeaps(s.core->GetHeap(Engine::Platform::DescriptorHeapType::CbvSrvUav));
        pass.Update(list, frame++ % Engine::kFrameCount, options);
        s.core->ExecuteCommandList();
        s.core->WaitForGpu();
    }
    state.counters["rays"] = 24.0 * 16 * 24 * 144;
}
BENCHMARK(BM_ProbeVolumeUpdate)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}  // namespace
