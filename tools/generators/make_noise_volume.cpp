// Makes the volumetric light's noise volume: a 128 x 128 x 128 DDS volume texture of one 8-bit
// channel (R8_UNORM, DX10 header), tiling in every direction. Each texel is four octaves of
// gradient noise on lattices of period 8, 16, 32 and 64 texels (so every octave wraps at 128),
// with halving amplitudes, mapped from [-1, 1] to [0, 255]. The gradients come from a fixed
// integer hash, so the output is the same on any machine.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/generators/BinaryAsset.h"

namespace {

constexpr int kSide = 128;

uint32_t Hash(uint32_t x, uint32_t y, uint32_t z, uint32_t seed) {
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ z * 0xcb1ab31fu ^ seed * 0x165667b1u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

// One of the twelve edge directions of a cube, picked by the lattice point's hash.
double Gradient(uint32_t hash, double x, double y, double z) {
    static const int8_t kDirections[12][3] = {{1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0}, {1, 0, 1}, {-1, 0, 1},
                                              {1, 0, -1}, {-1, 0, -1}, {0, 1, 1}, {0, -1, 1}, {0, 1, -1}, {0, -1, -1}};
    const int8_t* g = kDirections[hash % 12];
    return g[0] * x + g[1] * y + g[2] * z;
}

double Fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

// Gradient noise at (x, y, z) in lattice units, wrapping every `period` lattice cells.
double PeriodicNoise(double x, double y, double z, int period, uint32_t seed) {
    const int xi = int(std::floor(x)), yi = int(std::floor(y)), zi = int(std::floor(z));
    const double fx = x - xi, fy = y - yi, fz = z - zi;
    double corners[8];
    for (int c = 0; c < 8; ++c) {
        const int dx = c & 1, dy = (c >> 1) & 1, dz = c >> 2;
        const uint32_t h = Hash(uint32_t((xi + dx) % period), uint32_t((yi + dy) % period), uint32_t((zi + dz) % period), seed);
        corners[c] = Gradient(h, fx - dx, fy - dy, fz - dz);
    }
    const double u = Fade(fx), v = Fade(fy), w = Fade(fz);
    auto lerp = [](double a, double b, double t) { return a + (b - a) * t; };
    const double x00 = lerp(corners[0], corners[1], u), x10 = lerp(corners[2], corners[3], u);
    const double x01 = lerp(corners[4], corners[5], u), x11 = lerp(corners[6], corners[7], u);
    return lerp(lerp(x00, x10, v), lerp(x01, x11, v), w);
}

void PutU32(std::vector<uint8_t>& out, size_t offset, uint32_t v) { std::memcpy(&out[offset], &v, 4); }

std::vector<uint8_t> MakeDds() {
    constexpr size_t kHeader = 4 + 124 + 20;
    std::vector<uint8_t> dds(kHeader + size_t(kSide) * kSide * kSide, 0);
    PutU32(dds, 0, 0x20534444u);                     // "DDS "
    PutU32(dds, 4, 124);                             // header size
    PutU32(dds, 8, 0x1u | 0x2u | 0x4u | 0x1000u | 0x8u | 0x800000u);  // caps, height, width, pixel format, pitch, depth
    PutU32(dds, 12, kSide);                          // height
    PutU32(dds, 16, kSide);                          // width
    PutU32(dds, 20, kSide);                          // row pitch
    PutU32(dds, 24, kSide);                          // depth
    PutU32(dds, 28, 1);                              // mips
    PutU32(dds, 76, 32);                             // pixel format size
    PutU32(dds, 80, 0x4u);                           // four-character code
    PutU32(dds, 84, 0x30315844u);                    // "DX10"
    PutU32(dds, 108, 0x1000u);                       // caps: texture
    PutU32(dds, 112, 0x200000u);                     // caps2: volume
    PutU32(dds, 128, 61);                            // DXGI_FORMAT_R8_UNORM
    PutU32(dds, 132, 4);                             // 3-D texture
    PutU32(dds, 140, 1);                             // array size
    uint8_t* texels = dds.data() + kHeader;
    for (int z = 0; z < kSide; ++z)
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                double sum = 0.0, amplitude = 0.5;
                for (int octave = 0, cell = 16; octave < 4; ++octave, cell /= 2, amplitude *= 0.5) {
                    const int period = kSide / cell;
                    sum += amplitude * PeriodicNoise(double(x) / cell, double(y) / cell, double(z) / cell, period,
                                                     uint32_t(octave + 1));
                }
                // Gradient noise stays well inside [-1, 1]; stretch it to use the whole range.
                const double v = std::clamp(sum * 1.6, -1.0, 1.0) * 0.5 + 0.5;
                texels[(size_t(z) * kSide + y) * kSide + x] = uint8_t(std::lround(v * 255.0));
            }
    return dds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_noise_volume <output directory>\n");
        return 2;
    }
    const bool ok = Generators::WriteBinaryAssets(argv[1], "NoiseVolume.cpp", "assets/NoiseVolume.h",
                                                  "make_noise_volume.cpp", {{"NoiseVolumeDds", "NoiseVolume.dds", MakeDds()}});
    if (!ok) std::fprintf(stderr, "make_noise_volume: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
