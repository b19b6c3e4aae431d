// Key search, Bezier curves and camera motion evaluation: the per-frame cost of one key list.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "model/motion/BezierCurve.h"
#include "model/motion/CameraAnimation.h"
#include "model/motion/KeySearch.h"
#include "tests/support/VmdWriter.h"

namespace {

struct Key {
    std::int32_t frame;
};

std::vector<Key> EveryThirdFrame(int count) {
    std::vector<Key> keys;
    for (int i = 0; i < count; ++i) keys.push_back({i * 3});
    return keys;
}

// Playback at 60 fps: the frame advances by half a frame per call, so the cache almost always hits.
void BM_KeySearchSequential(benchmark::State& state) {
    const std::vector<Key> keys = EveryThirdFrame(static_cast<int>(state.range(0)));
    const float end = static_cast<float>(keys.back().frame);
    std::size_t cache = 0;
    float frame = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Vesma::FindKey(keys, frame, cache));
        frame += 0.5f;
        if (frame > end) frame = 0.0f;
    }
}
BENCHMARK(BM_KeySearchSequential)->Arg(16)->Arg(1024)->Arg(65536);

// Seeks anywhere: every call falls back to the binary search.
void BM_KeySearchRandomSeek(benchmark::State& state) {
    const std::vector<Key> keys = EveryThirdFrame(static_cast<int>(state.range(0)));
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> seek(0.0f, static_cast<float>(keys.back().frame));
    std::vector<float> frames(4096);
    for (float& f : frames) f = seek(rng);
    std::size_t cache = 0, i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(Vesma::FindKey(keys, frames[i++ & 4095], cache));
}
BENCHMARK(BM_KeySearchRandomSeek)->Arg(16)->Arg(1024)->Arg(65536);

void BM_BezierEvaluate(benchmark::State& state) {
    const Vesma::BezierCurve curve = Vesma::BezierCurve::FromBytes(90, 10, 40, 120);
    float x = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curve.Evaluate(x));
        x += 0.001f;
        if (x > 1.0f) x = 0.0f;
    }
}
BENCHMARK(BM_BezierEvaluate);

void BM_CameraEvaluate(benchmark::State& state) {
    std::vector<Vesma::VMDCameraKey> records;
    for (int i = 0; i < 1000; ++i) {
        records.push_back(TestSupport::MakeCameraKey(i * 30, -40.0f, {float(i), 10, 0}, {0.1f, 0.2f, 0}, 30));
    }
    Vesma::CameraAnimation motion;
    motion.Build(records);
    float frame = 0.0f;
    for (auto _ : state) {
        motion.Evaluate(frame);
        benchmark::DoNotOptimize(Vesma::CameraAnimation::LookAt(motion.State()));
        frame += 0.5f;
        if (frame > 30000.0f) frame = 0.0f;
    }
}
BENCHMARK(BM_CameraEvaluate);

}  // namespace
