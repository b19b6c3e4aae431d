// PMD reading from memory beside PMX reading, on files of about the same size, so the bytes per
// second compare directly (goal: the PMD reader within 1.5x of the PMX reader per byte). A PMD
// vertex is 38 bytes in the file against 40-90 for PMX, and both decode into the same 172-byte
// record, so PMD reading writes more memory per byte of file.
#include <benchmark/benchmark.h>

#include <span>
#include <vector>

#include "model/io/PmdReader.h"
#include "model/io/PmxReader.h"
#include "model/io/PmxWriter.h"
#include "tests/support/PmdWriter.h"
#include "tests/support/PmxBuilders.h"

namespace {

const std::vector<uint8_t>& LargePmx() {
    static const std::vector<uint8_t> bytes = Vesma::WritePmx(TestSupport::MakeLargePmx());
    return bytes;
}

// A PMD grown until it is as large as the PMX file.
const std::vector<uint8_t>& LargePmd() {
    static const std::vector<uint8_t> bytes = [] {
        const size_t target = LargePmx().size();
        size_t vertices = 200000;
        std::vector<uint8_t> file = TestSupport::WritePmd(TestSupport::MakeLargePmd(vertices));
        vertices = static_cast<size_t>(static_cast<double>(vertices) * static_cast<double>(target) / static_cast<double>(file.size()));
        return TestSupport::WritePmd(TestSupport::MakeLargePmd(vertices));
    }();
    return bytes;
}

template <bool (*Read)(Vesma::PMXFile&, std::span<const uint8_t>)>
void ReadLoop(benchmark::State& state, std::span<const uint8_t> bytes) {
    for (auto _ : state) {
        Vesma::PMXFile file;
        if (!Read(file, bytes)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(file.vertices.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    state.counters["fileMB"] = static_cast<double>(bytes.size()) / 1e6;
}

void BM_ReadSimilarSizePmx(benchmark::State& state) { ReadLoop<Vesma::ReadPMXFile>(state, LargePmx()); }
BENCHMARK(BM_ReadSimilarSizePmx)->Unit(benchmark::kMillisecond);

void BM_ReadSimilarSizePmd(benchmark::State& state) { ReadLoop<Vesma::ReadPMDFile>(state, LargePmd()); }
BENCHMARK(BM_ReadSimilarSizePmd)->Unit(benchmark::kMillisecond);

}  // namespace
