// Computes the two pre-integrated lighting tables the model shaders sample and writes them as PNG
// images inside a C++ source file:
//
//  - The image-based-lighting table, 400 x 400 RGB. Column i is cos(view angle) = (i + 0.5) / 400,
//    row j is perceptual roughness (j + 0.5) / 400. R and G are the split-sum scale and bias of a
//    GGX specular lobe with height-correlated Smith visibility: the specular reflectance of a
//    surface lit evenly from every direction is F0 * R + G. B is the directional albedo of the
//    sheen lobe used for cloth (Charlie distribution with Neubelt visibility).
//  - The skin table, 450 x 450 RGBA. Column i is N.L = 2 (i + 0.5) / 450 - 1, row j is the
//    surface curvature c = (j + 0.5) / 450, standing for a sphere of radius 1 mm / c. RGB is the
//    diffuse light a point of that sphere receives once light scattered under the skin is
//    gathered around it (the three-channel diffusion profile of human skin, as a sum of six
//    Gaussians), normalised so that a flat surface gives max(N.L, 0). Alpha is opaque.
//
// Values are stored linearly (x 255, rounded). The work is split over threads by rows; every
// texel depends only on its own coordinates, so the output is the same on any machine.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "core/PngEncoder.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kIblSide = 400;
constexpr int kSkinSide = 450;
constexpr int kSpecularSamples = 512;
constexpr int kSheenSamples = 1024;
constexpr int kRingSamples = 2048;

struct Vec3 {
    double x, y, z;
};
double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Low-discrepancy points on the unit square: i / n and the bit-reversed i.
void Hammersley(uint32_t i, uint32_t n, double& u, double& v) {
    uint32_t bits = i;
    bits = (bits << 16u) | (bits >> 16u);
    bits = ((bits & 0x55555555u) << 1u) | ((bits & 0xAAAAAAAAu) >> 1u);
    bits = ((bits & 0x33333333u) << 2u) | ((bits & 0xCCCCCCCCu) >> 2u);
    bits = ((bits & 0x0F0F0F0Fu) << 4u) | ((bits & 0xF0F0F0F0u) >> 4u);
    bits = ((bits & 0x00FF00FFu) << 8u) | ((bits & 0xFF00FF00u) >> 8u);
    u = (i + 0.5) / n;
    v = bits * 2.3283064365386963e-10;
}

double SmithGgxCorrelatedVisibility(double nv, double nl, double alpha) {
    const double a2 = alpha * alpha;
    const double gv = nl * std::sqrt(nv * nv * (1.0 - a2) + a2);
    const double gl = nv * std::sqrt(nl * nl * (1.0 - a2) + a2);
    return 0.5 / (gv + gl);
}

// Split-sum scale and bias: the GGX lobe sampled by its own distribution, so each sample weighs
// visibility x 4 (N.L)(V.H) / (N.H).
void IntegrateSpecular(double nv, double roughness, double& scale, double& bias) {
    const double alpha = roughness * roughness;
    const Vec3 v{std::sqrt(1.0 - nv * nv), 0.0, nv};
    scale = bias = 0.0;
    for (int i = 0; i < kSpecularSamples; ++i) {
        double u1, u2;
        Hammersley(static_cast<uint32_t>(i), kSpecularSamples, u1, u2);
        const double phi = 2.0 * kPi * u1;
        const double cosTheta = std::sqrt((1.0 - u2) / (1.0 + (alpha * alpha - 1.0) * u2));
        const double sinTheta = std::sqrt(1.0 - cosTheta * cosTheta);
        const Vec3 h{sinTheta * std::cos(phi), sinTheta * std::sin(phi), cosTheta};
        const double vh = Dot(v, h);
        const Vec3 l{2.0 * vh * h.x - v.x, 2.0 * vh * h.y - v.y, 2.0 * vh * h.z - v.z};
        const double nl = l.z;
        if (nl <= 0.0 || vh <= 0.0) continue;
        const double weight = SmithGgxCorrelatedVisibility(nv, nl, alpha) * 4.0 * nl * vh / h.z;
        const double fresnel = std::pow(1.0 - vh, 5.0);
        scale += (1.0 - fresnel) * weight;
        bias += fresnel * weight;
    }
    scale /= kSpecularSamples;
    bias /= kSpecularSamples;
}

// Sheen albedo: half vectors drawn evenly over the hemisphere (the Charlie lobe is broad and
// peaks at grazing half vectors, where importance sampling by cosine would miss it).
double IntegrateSheen(double nv, double roughness) {
    const double alpha = std::max(roughness * roughness, 1e-3);
    const Vec3 v{std::sqrt(1.0 - nv * nv), 0.0, nv};
    double sum = 0.0;
    for (int i = 0; i < kSheenSamples; ++i) {
        double u1, u2;
        Hammersley(static_cast<uint32_t>(i), kSheenSamples, u1, u2);
        const double phi = 2.0 * kPi * u1;
        const double cosTheta = 1.0 - u2;
        const double sinTheta = std::sqrt(1.0 - cosTheta * cosTheta);
        const Vec3 h{sinTheta * std::cos(phi), sinTheta * std::sin(phi), cosTheta};
        const double vh = Dot(v, h);
        const Vec3 l{2.0 * vh * h.x - v.x, 2.0 * vh * h.y - v.y, 2.0 * vh * h.z - v.z};
        const double nl = l.z;
        if (nl <= 0.0 || vh <= 0.0) continue;
        const double sin2 = sinTheta * sinTheta;
        const double distribution = (2.0 + 1.0 / alpha) * std::pow(sin2, 0.5 / alpha) / (2.0 * kPi);
        const double visibility = 1.0 / (4.0 * (nl + nv - nl * nv));
        sum += distribution * visibility * nl * vh;
    }
    // The density of L for an evenly drawn H is 1 / (2 pi * 4 (V.H)).
    return sum * 4.0 * 2.0 * kPi / kSheenSamples;
}

uint8_t ToByte(double value) {
    const double clamped = std::clamp(value, 0.0, 1.0);
    return static_cast<uint8_t>(std::lround(clamped * 255.0));
}

template <typename RowFunction>
void ForEachRow(int rows, RowFunction row) {
    const unsigned threads = std::max(1u, std::min(16u, std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int y = static_cast<int>(t); y < rows; y += static_cast<int>(threads)) row(y);
        });
    for (std::thread& worker : workers) worker.join();
}

std::vector<uint8_t> MakeIblTable() {
    std::vector<uint8_t> pixels(size_t(kIblSide) * kIblSide * 3);
    ForEachRow(kIblSide, [&](int y) {
        const double roughness = (y + 0.5) / kIblSide;
        for (int x = 0; x < kIblSide; ++x) {
            const double nv = (x + 0.5) / kIblSide;
            double scale, bias;
            IntegrateSpecular(nv, roughness, scale, bias);
            uint8_t* texel = &pixels[(size_t(y) * kIblSide + x) * 3];
            texel[0] = ToByte(scale);
            texel[1] = ToByte(bias);
            texel[2] = ToByte(IntegrateSheen(nv, roughness));
        }
    });
    return pixels;
}

// Skin diffusion profile: six Gaussians of the given variances (mm^2), weighted per channel.
constexpr double kProfileVariance[6] = {0.0064, 0.0484, 0.187, 0.567, 1.99, 7.41};
constexpr double kProfileWeight[3][6] = {
    {0.233, 0.100, 0.118, 0.113, 0.358, 0.078},
    {0.455, 0.336, 0.198, 0.007, 0.004, 0.0},
    {0.649, 0.344, 0.0, 0.007, 0.0, 0.0},
};
constexpr double kSmallestRadiusMm = 1.0;

double Profile(int channel, double distanceMm) {
    double sum = 0.0;
    for (int k = 0; k < 6; ++k) {
        const double v = kProfileVariance[k];
        sum += kProfileWeight[channel][k] * std::exp(-distanceMm * distanceMm / (2.0 * v)) / (2.0 * kPi * v);
    }
    return sum;
}

// Light arriving at angle theta to the normal of a point on a ring of radius r, gathered over
// the ring: the light of the point at angle x along the ring (cos+(theta + x)) weighed by the
// profile at their chord distance 2 r sin(x / 2). The profile dies out within a few of its
// widest Gaussian's deviations, so only that arc is sampled, which keeps the narrow Gaussians
// resolved on large rings.
std::vector<uint8_t> MakeSkinTable() {
    std::vector<uint8_t> pixels(size_t(kSkinSide) * kSkinSide * 4);
    ForEachRow(kSkinSide, [&](int y) {
        const double curvature = (y + 0.5) / kSkinSide;
        const double radius = kSmallestRadiusMm / curvature;
        const double reach = 8.0 * std::sqrt(kProfileVariance[5]);
        const double halfArc = reach >= 2.0 * radius ? kPi : std::min(kPi, 2.0 * std::asin(reach / (2.0 * radius)));
        const double step = 2.0 * halfArc / kRingSamples;
        std::vector<double> cosX(kRingSamples), sinX(kRingSamples), weight[3];
        double total[3] = {0, 0, 0};
        for (int c = 0; c < 3; ++c) weight[c].resize(kRingSamples);
        for (int i = 0; i < kRingSamples; ++i) {
            const double x = -halfArc + (i + 0.5) * step;
            cosX[i] = std::cos(x);
            sinX[i] = std::sin(x);
            const double chord = 2.0 * radius * std::sin(std::abs(x) * 0.5);
            for (int c = 0; c < 3; ++c) {
                weight[c][i] = Profile(c, chord);
                total[c] += weight[c][i];
            }
        }
        for (int x = 0; x < kSkinSide; ++x) {
            const double nl = 2.0 * (x + 0.5) / kSkinSide - 1.0;
            const double sinTheta = std::sqrt(1.0 - nl * nl);
            double sum[3] = {0, 0, 0};
            for (int i = 0; i < kRingSamples; ++i) {
                // cos(theta + x) with theta the angle of nl.
                const double light = nl * cosX[i] - sinTheta * sinX[i];
                if (light <= 0.0) continue;
                for (int c = 0; c < 3; ++c) sum[c] += light * weight[c][i];
            }
            uint8_t* texel = &pixels[(size_t(y) * kSkinSide + x) * 4];
            for (int c = 0; c < 3; ++c) texel[c] = ToByte(total[c] > 0.0 ? sum[c] / total[c] : std::max(nl, 0.0));
            texel[3] = 255;
        }
    });
    return pixels;
}

std::vector<uint8_t> EncodeTable(const std::vector<uint8_t>& pixels, int side, int channels) {
    return EncodePng(pixels.data(), side, side, channels, static_cast<std::size_t>(side) * channels, 9);
}

void WriteArray(FILE* file, const char* name, const std::vector<uint8_t>& bytes) {
    std::fprintf(file, "extern const unsigned char %s[] = {", name);
    for (size_t i = 0; i < bytes.size(); ++i) std::fprintf(file, "%s0x%02X,", i % 16 == 0 ? "\n    " : " ", bytes[i]);
    std::fprintf(file, "\n};\nextern const size_t %sSize = %zu;\n\n", name, bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_brdf_luts <output.cpp>\n");
        return 2;
    }
    const std::vector<uint8_t> ibl = EncodeTable(MakeIblTable(), kIblSide, 3);
    const std::vector<uint8_t> skin = EncodeTable(MakeSkinTable(), kSkinSide, 4);
    if (ibl.empty() || skin.empty()) {
        std::fprintf(stderr, "make_brdf_luts: PNG encoding failed\n");
        return 1;
    }
    FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(file, "// Generated by tools/generators/make_brdf_luts.cpp. Do not edit.\n");
    std::fprintf(file, "#include \"assets/PreIntegratedBrdf.h\"\n\nnamespace Assets {\n\n");
    WriteArray(file, "kPreIntegratedBrdfIblPng", ibl);
    WriteArray(file, "kPreIntegratedBrdfSkinPng", skin);
    std::fprintf(file, "}  // namespace Assets\n");
    return std::fclose(file) == 0 ? 0 : 1;
}
