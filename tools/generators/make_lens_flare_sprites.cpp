// Draws the two lens-flare sprites as PNG images:
//
//  - "Ghost", 2048 x 2048 RGBA: a 4 x 4 grid of 512 x 512 cells, cell i (row-major from the top
//    left) holding ghost i of the sixteen the flare strings from the sun through the screen
//    centre. Ghosts are the reflections of the aperture between lens elements: soft discs,
//    rings and hexagons of different sizes, each tinted along the spectrum. RGB is the light a
//    ghost adds, alpha its coverage.
//  - "Lensflare", 512 x 512 RGB: the flare around the sun itself, a bright core with a wide
//    glow, six diffraction streaks and a faint rainbow halo.
//
// Every pixel depends only on its coordinates, so the output is the same on any machine.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/PngEncoder.h"
#include "tools/generators/BinaryAsset.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kGhostSide = 2048;
constexpr int kGhostCell = 512;
constexpr int kGhostsPerRow = 4;
constexpr int kFlareSide = 512;

double Smooth(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// A colour along the visible spectrum for t in [0, 1] (red to violet), each channel in [0, 1].
void Spectrum(double t, double rgb[3]) {
    rgb[0] = std::clamp(1.5 - std::abs(t - 0.0) * 3.0, 0.0, 1.0) + std::clamp(1.0 - std::abs(t - 1.0) * 4.0, 0.0, 0.6);
    rgb[1] = std::clamp(1.5 - std::abs(t - 0.45) * 3.5, 0.0, 1.0);
    rgb[2] = std::clamp(1.5 - std::abs(t - 0.85) * 3.0, 0.0, 1.0);
}

// Distance from the centre to the edge of a regular hexagon of circumradius 1 in direction a.
double HexagonRadius(double a) {
    const double sector = kPi / 3.0;
    const double local = std::fmod(a + 4.0 * kPi, sector) - sector / 2.0;
    return std::cos(sector / 2.0) / std::cos(local);
}

// Coverage of ghost `index` at (x, y), in cell units from -1 to 1.
double GhostShape(int index, double x, double y) {
    const double r = std::sqrt(x * x + y * y);
    const double a = std::atan2(y, x);
    const double size = 0.35 + 0.6 * std::fmod(index * 0.618034, 1.0);  // radius in the cell
    switch (index % 4) {
    case 0:  // soft disc
        return 1.0 - Smooth(size * 0.3, size, r);
    case 1: {  // ring
        const double d = std::abs(r - size * 0.8);
        return 1.0 - Smooth(0.0, size * 0.18, d);
    }
    case 2: {  // hexagonal aperture with a soft edge
        const double edge = size * HexagonRadius(a + index * 0.3);
        return (1.0 - Smooth(edge * 0.85, edge, r)) * (0.55 + 0.45 * r / std::max(edge, 1e-6));
    }
    default:  // disc with a brighter rim
        return (1.0 - Smooth(size * 0.9, size, r)) * (0.35 + 0.65 * Smooth(size * 0.5, size * 0.95, r));
    }
}

std::vector<uint8_t> DrawGhosts() {
    std::vector<uint8_t> pixels(static_cast<size_t>(kGhostSide) * kGhostSide * 4, 0);
    for (int index = 0; index < kGhostsPerRow * kGhostsPerRow; ++index) {
        const int cellX = (index % kGhostsPerRow) * kGhostCell, cellY = (index / kGhostsPerRow) * kGhostCell;
        double tint[3];
        Spectrum(std::fmod(index * 0.382, 1.0), tint);
        // Faint, each in its own measure: sixteen of them overlap near the sun.
        const double strength = 0.04 + 0.08 * std::fmod(index * 0.7548, 1.0);
        for (int py = 0; py < kGhostCell; ++py)
            for (int px = 0; px < kGhostCell; ++px) {
                const double x = (px + 0.5) / kGhostCell * 2.0 - 1.0, y = (py + 0.5) / kGhostCell * 2.0 - 1.0;
                const double coverage = std::clamp(GhostShape(index, x, y), 0.0, 1.0) * strength;
                uint8_t* p = &pixels[(static_cast<size_t>(cellY + py) * kGhostSide + cellX + px) * 4];
                for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::lround(255.0 * coverage * (0.35 + 0.65 * tint[c])));
                p[3] = static_cast<uint8_t>(std::lround(255.0 * coverage));
            }
    }
    return pixels;
}

std::vector<uint8_t> DrawFlare() {
    std::vector<uint8_t> pixels(static_cast<size_t>(kFlareSide) * kFlareSide * 3, 0);
    for (int py = 0; py < kFlareSide; ++py)
        for (int px = 0; px < kFlareSide; ++px) {
            const double x = (px + 0.5) / kFlareSide * 2.0 - 1.0, y = (py + 0.5) / kFlareSide * 2.0 - 1.0;
            const double r = std::sqrt(x * x + y * y);
            const double a = std::atan2(y, x);
            // Everything fades out before the sprite's edge, so the square never shows.
            const double fade = 1.0 - Smooth(0.75, 1.0, r);
            const double core = std::exp(-r * r * 400.0);
            const double glow = std::exp(-r * 6.0) * 0.45;
            const double streak = std::pow(std::abs(std::cos(3.0 * a)), 400.0) * std::exp(-r * 3.5) * 0.8;
            double halo[3];
            Spectrum(std::clamp((r - 0.55) / 0.12, 0.0, 1.0), halo);
            const double haloCoverage = std::exp(-std::pow((r - 0.61) / 0.04, 2.0)) * 0.12;
            for (int c = 0; c < 3; ++c) {
                const double v = (core + glow + streak) * (c == 2 ? 0.9 : 1.0) + halo[c] * haloCoverage;
                pixels[(static_cast<size_t>(py) * kFlareSide + px) * 3 + c] =
                    static_cast<uint8_t>(std::lround(255.0 * std::clamp(v * fade, 0.0, 1.0)));
            }
        }
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_lens_flare_sprites <output directory>\n");
        return 2;
    }
    const std::vector<uint8_t> ghostPixels = DrawGhosts();
    const std::vector<uint8_t> flarePixels = DrawFlare();
    std::vector<uint8_t> ghost = EncodePng(ghostPixels.data(), kGhostSide, kGhostSide, 4, kGhostSide * 4, 6);
    std::vector<uint8_t> flare = EncodePng(flarePixels.data(), kFlareSide, kFlareSide, 3, kFlareSide * 3, 6);
    if (ghost.empty() || flare.empty()) {
        std::fprintf(stderr, "make_lens_flare_sprites: PNG encoding failed\n");
        return 1;
    }
    const bool ok = Generators::WriteBinaryAssets(argv[1], "LensFlareSprites.cpp", "assets/LensFlareSprites.h",
                                                  "make_lens_flare_sprites.cpp",
                                                  {{"LensFlareGhostPng", "Ghost.png", std::move(ghost)},
                                                   {"LensFlareSpritePng", "Lensflare.png", std::move(flare)}});
    if (!ok) std::fprintf(stderr, "make_lens_flare_sprites: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
