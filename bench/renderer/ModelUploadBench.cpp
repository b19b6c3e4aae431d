// The per-frame hand-over of a skinned model to the GPU: the frame's output vertices written into
// their per-frame copy and every material block into its slot (Upload, called once the model's
// frame has run). Measured on a character-sized model; nothing is allocated per frame.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

#include "Engine/EngineCore.h"
#include "model/PMXModel.h"
#include "renderer/PMXModelGpu.h"
#include "tests/support/PmxBuilders.h"

namespace {

void BM_ModelUpload(benchmark::State& state) {
    Engine::EngineCore* core = nullptr;
    try {
        core = Engine::EngineCore::GetInstance().get();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    TestSupport::LargePmxShape shape;
    shape.vertices = static_cast<size_t>(state.range(0));
    shape.materials = 40;
    Vesma::PMXModel model;
    model.Load(TestSupport::MakeLargePmx(shape), u"bench");
    ProjectTavrin::PMXModelGpu gpu(model);
    gpu.CreateGpuResources(*core);
    uint32_t frame = 0;
    for (auto _ : state) {
        gpu.Upload(frame);
        frame ^= 1;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(model.GetOutputVertices().size() * sizeof(Vesma::ModelVertex)));
}
BENCHMARK(BM_ModelUpload)->Arg(20000)->Arg(200000)->Unit(benchmark::kMicrosecond);

}  // namespace
