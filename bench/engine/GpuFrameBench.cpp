// Costs of the frame plumbing: one headless frame (reset, clear, present with two frames in
// flight) and the read-back of a 1920 x 1080 frame that the video export does every frame.
// On lavapipe these measure the CPU device; run on a GPU machine for hardware figures.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/ReadbackBuffer.h"

namespace {

using namespace Engine;
using namespace Engine::Platform;

EngineCore* Core(benchmark::State& state) {
    try {
        return EngineCore::GetInstance().get();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return nullptr;
    }
}

void BM_HeadlessFrame(benchmark::State& state) {
    EngineCore* core = Core(state);
    if (!core) return;
    const auto size = static_cast<float>(state.range(0));
    core->SetHeadlessOutput(size, size * 9 / 16);
    for (auto _ : state) {
        core->ResetCommandList();
        CommandList& list = *core->GetCommandList();
        const ResourceBarrier in = ResourceBarrier::Transition(core->GetRenderTarget(), ResourceState::Present, ResourceState::RenderTarget);
        list.ResourceBarrier(std::span(&in, 1));
        const float color[4] = {0.1f, 0.2f, 0.3f, 1};
        list.ClearRenderTargetView(core->GetRenderTargetView(), color);
        const ResourceBarrier out = ResourceBarrier::Transition(core->GetRenderTarget(), ResourceState::RenderTarget, ResourceState::Present);
        list.ResourceBarrier(std::span(&out, 1));
        core->Present();
    }
    core->WaitForGpu();
}
BENCHMARK(BM_HeadlessFrame)->Arg(64)->Arg(1920)->Unit(benchmark::kMicrosecond);

void BM_ReadBack1080p(benchmark::State& state) {
    EngineCore* core = Core(state);
    if (!core) return;
    ColorBuffer frame;
    frame.Create(u"BenchFrame", 1920, 1080, Format::R8G8B8A8_UNORM);
    ReadbackBuffer readback;
    for (auto _ : state) {
        const uint8_t* bytes = readback.ReadBack(frame);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 4);
}
BENCHMARK(BM_ReadBack1080p)->Unit(benchmark::kMillisecond);

}  // namespace
