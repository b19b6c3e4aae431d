// Writes the generated model the renderer's GPU-time figures are taken on, for `tavrin-render
// --profile`: the large test model (100,000 vertices by default, 20 materials, every one with the
// edge flag and a shared toon; one bone, no morphs or bodies) with its vertex grid wrapped round a
// sphere of radius 10 (normals outward, faces wound outward), so it has a silhouette to outline,
// and one texture beside it.
//
//   tavrin_write_large_model DIR [VERTICES]   ->  DIR/large.pmx, DIR/tex.png
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include "model/io/PmxWriter.h"
#include "tests/support/PmxBuilders.h"
#include "tests/support/TextureFileWriters.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: tavrin_write_large_model DIR [VERTICES]\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    TestSupport::LargePmxShape shape;
    shape.vertices = argc == 3 ? std::strtoul(argv[2], nullptr, 10) : 100000;
    shape.materials = 20;
    // One bone, no morphs, no bodies: the sphere stays as written, whatever the frame.
    shape.bones = 1;
    shape.morphs = 0;
    shape.rigidBodies = 0;
    if (shape.vertices < 16) {
        std::fprintf(stderr, "tavrin_write_large_model: at least 16 vertices\n");
        return 2;
    }
    Vesma::PMXFile file = TestSupport::MakeLargePmx(shape);

    // The grid's columns and rows become longitude and latitude.
    std::size_t columns = 1;
    while (columns * columns < shape.vertices) ++columns;
    const std::size_t rows = (shape.vertices + columns - 1) / columns;
    constexpr float kPi = 3.14159265f, kRadius = 10.0f;
    for (std::size_t i = 0; i < file.vertices.size(); ++i) {
        const float phi = 2.0f * kPi * float(i % columns) / float(columns - 1);
        const float theta = kPi * (0.02f + 0.96f * float(i / columns) / float(rows - 1));
        const Math::vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
        auto& v = file.vertices[i];
        v.position = {n.x * kRadius, n.y * kRadius + kRadius, n.z * kRadius};
        v.normal = n;
        v.sdefC = v.sdefR0 = v.sdefR1 = v.position;
    }
    // Outward faces. A face the file winds outward in its own space is outward in the model's
    // too: loading mirrors z and turns the winding over together.
    for (auto& face : file.faces) {
        auto& [a, b, c] = face.vertices;
        const Math::vec3 pa = file.vertices[a].position, pb = file.vertices[b].position, pc = file.vertices[c].position;
        const Math::vec3 n = Math::Cross(pb - pa, pc - pa);
        const Math::vec3 out = pa + pb + pc - Math::vec3{0, 3 * kRadius, 0};
        if (Math::Dot(n, out) < 0) std::swap(b, c);
    }

    std::vector<uint8_t> rgba(256 * 256 * 4);
    for (std::size_t i = 0; i < 256 * 256; ++i) {
        rgba[i * 4 + 0] = uint8_t(i % 256);
        rgba[i * 4 + 1] = uint8_t(i / 256);
        rgba[i * 4 + 2] = 128;
        rgba[i * 4 + 3] = 255;
    }
    std::filesystem::create_directories(dir);
    const std::vector<uint8_t> png = TestSupport::EncodePng(256, 256, rgba);
    std::ofstream(dir / "tex.png", std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    file.textures = {u"tex.png"};
    for (auto& m : file.materials) m.textureIndex = 0;
    const std::vector<uint8_t> bytes = Vesma::WritePmx(file);
    std::ofstream out(dir / "large.pmx", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "tavrin_write_large_model: cannot write %s\n", (dir / "large.pmx").c_str());
        return 1;
    }
    std::printf("%s\n", (dir / "large.pmx").c_str());
    return 0;
}
