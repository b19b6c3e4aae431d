// PMX reading from memory: a character-sized model and the built-in sample. Bytes per second is
// the figure to watch (goal: at least 500 MB/s on one core for the large model).
//
// The decoded model takes about twice the file's size in fresh memory (a PMXVertex is 172 bytes),
// so where first-touch page faults are expensive they dominate a cold read. BM_TouchVertexList
// measures that floor alone. To see the decoder's own speed with memory reused between reads,
// run with GLIBC_TUNABLES=glibc.malloc.mmap_threshold=4294967295:glibc.malloc.trim_threshold=4294967295
#include <benchmark/benchmark.h>

#include <span>
#include <vector>

#include "assets/SampleModel.h"
#include "model/io/PmxReader.h"
#include "tests/support/PmxBuilders.h"
#include "model/io/PmxWriter.h"

namespace {

// ~200,000 vertices, 500 bones, 1,000 morphs, 200 rigid bodies.
const std::vector<uint8_t>& LargeModel() {
    static const std::vector<uint8_t> bytes = Vesma::WritePmx(TestSupport::MakeLargePmx());
    return bytes;
}

void ReadLoop(benchmark::State& state, std::span<const uint8_t> bytes) {
    for (auto _ : state) {
        Vesma::PMXFile pmx;
        if (!Vesma::ReadPMXFile(pmx, bytes)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(pmx.vertices.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    state.counters["fileMB"] = static_cast<double>(bytes.size()) / 1e6;
}

void BM_ReadLargePmx(benchmark::State& state) { ReadLoop(state, LargeModel()); }
BENCHMARK(BM_ReadLargePmx)->Unit(benchmark::kMillisecond);

// The owning read as scene loading uses it: the file's bytes are handed over (copy not timed).
void BM_ReadLargePmxOwned(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<uint8_t> copy = LargeModel();
        Vesma::PMXFile pmx;
        state.ResumeTiming();
        benchmark::DoNotOptimize(Vesma::ReadPMXFile(pmx, std::move(copy)));
        state.PauseTiming();
        pmx.Clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(LargeModel().size()));
}
BENCHMARK(BM_ReadLargePmxOwned)->Unit(benchmark::kMillisecond);

// Allocating and zeroing the vertex list of the large model, nothing else: the page-fault floor.
void BM_TouchVertexList(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<Vesma::PMXVertex> vertices(200000);
        benchmark::DoNotOptimize(vertices.data());
    }
}
BENCHMARK(BM_TouchVertexList)->Unit(benchmark::kMillisecond);

void BM_ReadSampleModel(benchmark::State& state) { ReadLoop(state, SampleModelData()); }
BENCHMARK(BM_ReadSampleModel)->Unit(benchmark::kMicrosecond);

}  // namespace
