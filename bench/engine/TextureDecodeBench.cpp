// Decoding speed of the texture readers on inputs of the sizes the program meets: a 2048 × 1024
// run-length encoded sky image, the 17³ sample grading table, a 1024² PNG and a large image
// that has to be scaled down.
#include "Engine/TextureLoader/CubeLut.h"
#include "Engine/TextureLoader/HDRTextureLoader.h"
#include "Engine/TextureLoader/ImageDecoder.h"
#include "assets/SampleColorFilterLut.h"
#include "tests/support/TextureFileWriters.h"

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace Engine;

namespace {

std::vector<uint8_t> MakeSkyRgbe(int width, int height) {
    std::vector<uint8_t> data;
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Smooth gradients with some noise, as in photographed skies.
            row[x * 4 + 0] = static_cast<uint8_t>(128 + (x * 7 + y) % 97);
            row[x * 4 + 1] = static_cast<uint8_t>(128 + (y * 3) % 101);
            row[x * 4 + 2] = static_cast<uint8_t>(160 + (x / 16) % 64);
            row[x * 4 + 3] = static_cast<uint8_t>(128 + (y * 8 / height));
        }
        const auto encoded = TestSupport::EncodeRgbeScanline(row);
        data.insert(data.end(), encoded.begin(), encoded.end());
    }
    char header[96];
    std::snprintf(header, sizeof(header), "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y %d +X %d\n", height, width);
    return TestSupport::WriteRgbe(header, data);
}

std::vector<uint8_t> MakeImage(int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>((i * 31) ^ (i >> 9));
    return rgba;
}

void BM_DecodeRgbeSky(benchmark::State& state) {
    const auto file = MakeSkyRgbe(2048, 1024);
    for (auto _ : state) {
        DecodedTexture out;
        if (DecodeHdr({file.data(), file.size()}, out) != DecodeResult::Ok) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 2048 * 1024 * 8);
}
BENCHMARK(BM_DecodeRgbeSky)->Unit(benchmark::kMillisecond);

void BM_ParseSampleLut(benchmark::State& state) {
    for (auto _ : state) {
        CubeLut lut;
        if (ParseCubeLut(Assets::kSampleColorFilterLut, lut) != CubeLutStatus::Ok) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(lut.table.data());
    }
}
BENCHMARK(BM_ParseSampleLut)->Unit(benchmark::kMillisecond);

void BM_DecodePng1024(benchmark::State& state) {
    const auto file = TestSupport::EncodePng(1024, 1024, MakeImage(1024, 1024));
    for (auto _ : state) {
        DecodedTexture out;
        if (DecodeImage({file.data(), file.size()}, out) != DecodeResult::Ok) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.pixels.data());
    }
}
BENCHMARK(BM_DecodePng1024)->Unit(benchmark::kMillisecond);

void BM_ScaleDown4096To2048(benchmark::State& state) {
    // The area-averaging scaler on its own, at a quarter of the 16384 limit on each side.
    const auto src = MakeImage(4096, 2048);
    std::vector<uint8_t> dst(2048 * 1024 * 4);
    for (auto _ : state) {
        ResampleRgba8(src.data(), 4096, 2048, dst.data(), 2048, 1024);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}
BENCHMARK(BM_ScaleDown4096To2048)->Unit(benchmark::kMillisecond);

}  // namespace
