// Build-time generator of the built-in sample model ("<Sample>"): a small material-preview scene.
//
// Usage: gen_sample_model <output.cpp> [<output.pmx>]
//
// The scene is a floor plane and four shapes standing on it in a row along x (a sphere, a cube,
// a cylinder and a torus), one material each, so five materials in all and no textures. Every
// vertex is bound (BDEF1) to the one bone, "全ての親" at the origin. The file is PMX 2.0 with
// UTF-16 texts, no additional UVs, 2-byte vertex indices and 1-byte indices for everything else.
//
// Coordinates are the file's own (left-handed, y up, about 8 cm per unit). Triangles are wound
// so that cross(b - a, c - a) points out of the surface, the front-face order of PMX files.
//
// The output .cpp defines SampleModelData() (assets/SampleModel.h) over the file's bytes; the
// optional .pmx is the same bytes as a file, written with its extended materials beside it (the
// .xml of the same name: the shapes' metal, gloss and roughness, which the PMX records cannot
// say). Outputs are written to a temporary file and renamed.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/FileIO.h"
#include "model/io/PMXFile.h"
#include "model/io/PmxWriter.h"

namespace {

using namespace Vesma;
using Math::vec2;
using Math::vec3;
using Math::vec4;

constexpr float kPi = 3.14159265358979323846f;

// Collects vertices and triangles; each shape's triangles form one material's index range.
class MeshBuilder {
public:
    explicit MeshBuilder(PMXFile& file) : m_file(file) {}

    uint32_t Vertex(vec3 position, vec3 normal, vec2 uv) {
        PMXVertex v;
        v.position = position;
        v.normal = normal;
        v.uv = uv;
        v.weightType = PMXVertexWeight::BDEF1;
        v.boneIndices = {0, 0, 0, 0};
        v.boneWeights = {1, 0, 0, 0};
        v.edgeScale = 1.0f;
        m_file.vertices.push_back(v);
        return static_cast<uint32_t>(m_file.vertices.size() - 1);
    }

    void Triangle(uint32_t a, uint32_t b, uint32_t c) {
        m_file.faces.push_back(PMXFace{{a, b, c}});
        ++m_trianglesInMaterial;
    }

    // A quad a-b-c-d given in the order that keeps it front-facing as (a, b, c), (a, c, d).
    void Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        Triangle(a, b, c);
        Triangle(a, c, d);
    }

    // Closes the current shape: the material draws every triangle added since the last one.
    void EndMaterial(PMXMaterial material) {
        material.numFaceVertices = static_cast<int32_t>(m_trianglesInMaterial * 3);
        m_trianglesInMaterial = 0;
        m_file.materials.push_back(std::move(material));
    }

private:
    PMXFile& m_file;
    size_t m_trianglesInMaterial = 0;
};

PMXMaterial Material(std::u16string name, std::u16string englishName, vec4 diffuse, vec3 specular, float power,
                     uint8_t drawMode) {
    PMXMaterial m;
    m.name = std::move(name);
    m.englishName = std::move(englishName);
    m.diffuse = diffuse;
    m.specular = specular;
    m.specularPower = power;
    m.ambient = {diffuse.x * 0.5f, diffuse.y * 0.5f, diffuse.z * 0.5f};
    m.drawMode = drawMode;
    m.edgeColor = {0.1f, 0.1f, 0.1f, 1.0f};
    m.edgeSize = 1.0f;
    m.textureIndex = -1;
    m.sphereTextureIndex = -1;
    m.sphereMode = PMXSphereMode::None;
    m.toonMode = PMXToonMode::Separate;
    m.toonTextureIndex = -1;
    return m;
}

// Draw-mode bits.
constexpr uint8_t kBothFace = 0x01;
constexpr uint8_t kGroundShadow = 0x02;
constexpr uint8_t kCastShadow = 0x04;
constexpr uint8_t kReceiveShadow = 0x08;
constexpr uint8_t kEdge = 0x10;

// The floor: a size x size square at y = 0, facing up, as a grid so per-vertex lighting has
// something to work with.
void Floor(MeshBuilder& mesh, float size, int cells) {
    std::vector<uint32_t> grid;
    for (int j = 0; j <= cells; ++j) {
        for (int i = 0; i <= cells; ++i) {
            const float u = static_cast<float>(i) / cells;
            const float v = static_cast<float>(j) / cells;
            grid.push_back(mesh.Vertex({(u - 0.5f) * size, 0.0f, (v - 0.5f) * size}, {0, 1, 0}, {u, v}));
        }
    }
    const auto at = [&](int i, int j) { return grid[static_cast<size_t>(j * (cells + 1) + i)]; };
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            // Going +z then +x keeps cross(b - a, c - a) pointing up (+y).
            mesh.Quad(at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j));
        }
    }
}

// Latitude-longitude sphere. theta runs around y, phi from the top pole to the bottom one.
void Sphere(MeshBuilder& mesh, vec3 centre, float radius, int slices, int stacks) {
    std::vector<uint32_t> ring;
    for (int s = 0; s <= stacks; ++s) {
        const float phi = kPi * s / stacks;
        for (int i = 0; i <= slices; ++i) {
            const float theta = 2.0f * kPi * i / slices;
            const vec3 n{std::sin(phi) * std::cos(theta), std::cos(phi), std::sin(phi) * std::sin(theta)};
            ring.push_back(mesh.Vertex(centre + n * radius, n, {static_cast<float>(i) / slices,
                                                                static_cast<float>(s) / stacks}));
        }
    }
    const auto at = [&](int i, int s) { return ring[static_cast<size_t>(s * (slices + 1) + i)]; };
    for (int s = 0; s < stacks; ++s) {
        for (int i = 0; i < slices; ++i) {
            // Around (+theta) then down (+phi) keeps the winding outward; the triangles that
            // would collapse onto a pole are left out.
            if (s != 0) mesh.Triangle(at(i, s), at(i + 1, s), at(i, s + 1));
            if (s != stacks - 1) mesh.Triangle(at(i + 1, s), at(i + 1, s + 1), at(i, s + 1));
        }
    }
}

// An axis-aligned cube resting on the floor, four vertices per face so the normals stay flat.
void Cube(MeshBuilder& mesh, vec3 centre, float half) {
    struct Face {
        vec3 normal, u, v;  // u x v == normal, so (c, c+u, c+u+v, c+v) is counter-clockwise
    };
    const Face faces[] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
    };
    for (const Face& f : faces) {
        const vec3 c = centre + f.normal * half;
        const uint32_t a = mesh.Vertex(c - f.u * half - f.v * half, f.normal, {0, 1});
        const uint32_t b = mesh.Vertex(c + f.u * half - f.v * half, f.normal, {1, 1});
        const uint32_t d = mesh.Vertex(c + f.u * half + f.v * half, f.normal, {1, 0});
        const uint32_t e = mesh.Vertex(c - f.u * half + f.v * half, f.normal, {0, 0});
        // cross(b - a, d - a) = u x v = normal: (a, b, d, e) already faces out.
        mesh.Quad(a, b, d, e);
    }
}

// An upright cylinder standing on the floor, with flat caps.
void Cylinder(MeshBuilder& mesh, vec3 base, float radius, float height, int slices) {
    std::vector<uint32_t> bottom, top;
    for (int i = 0; i <= slices; ++i) {
        const float theta = 2.0f * kPi * i / slices;
        const vec3 n{std::cos(theta), 0, std::sin(theta)};
        const float u = static_cast<float>(i) / slices;
        bottom.push_back(mesh.Vertex(base + n * radius, n, {u, 1}));
        top.push_back(mesh.Vertex(base + n * radius + vec3{0, height, 0}, n, {u, 0}));
    }
    for (int i = 0; i < slices; ++i) mesh.Quad(bottom[i], top[i], top[i + 1], bottom[i + 1]);
    const uint32_t topCentre = mesh.Vertex(base + vec3{0, height, 0}, {0, 1, 0}, {0.5f, 0.5f});
    const uint32_t bottomCentre = mesh.Vertex(base, {0, -1, 0}, {0.5f, 0.5f});
    std::vector<uint32_t> topRim, bottomRim;
    for (int i = 0; i <= slices; ++i) {
        const float theta = 2.0f * kPi * i / slices;
        const vec3 r{std::cos(theta), 0, std::sin(theta)};
        const vec2 uv{0.5f + 0.5f * r.x, 0.5f + 0.5f * r.z};
        topRim.push_back(mesh.Vertex(base + r * radius + vec3{0, height, 0}, {0, 1, 0}, uv));
        bottomRim.push_back(mesh.Vertex(base + r * radius, {0, -1, 0}, uv));
    }
    for (int i = 0; i < slices; ++i) {
        mesh.Triangle(topCentre, topRim[i + 1], topRim[i]);
        mesh.Triangle(bottomCentre, bottomRim[i], bottomRim[i + 1]);
    }
}

// A torus lying flat on the floor: major radius R around y, tube radius r.
void Torus(MeshBuilder& mesh, vec3 centre, float majorRadius, float tubeRadius, int segments, int sides) {
    std::vector<uint32_t> grid;
    for (int i = 0; i <= segments; ++i) {
        const float theta = 2.0f * kPi * i / segments;
        const vec3 radial{std::cos(theta), 0, std::sin(theta)};
        for (int j = 0; j <= sides; ++j) {
            const float phi = 2.0f * kPi * j / sides;
            const vec3 n = radial * std::cos(phi) + vec3{0, std::sin(phi), 0};
            grid.push_back(mesh.Vertex(centre + radial * majorRadius + n * tubeRadius, n,
                                       {static_cast<float>(i) / segments, static_cast<float>(j) / sides}));
        }
    }
    const auto at = [&](int i, int j) { return grid[static_cast<size_t>(i * (sides + 1) + j)]; };
    for (int i = 0; i < segments; ++i) {
        for (int j = 0; j < sides; ++j) mesh.Quad(at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j));
    }
}

PMXFile BuildSampleModel() {
    PMXFile file;
    file.header = Vesma::MakePmxHeader(2.0f, PMXEncoding::UTF16, 1);
    file.header.vertexIndexSize = 2;
    file.modelName = u"材质预览";
    file.englishModelName = u"Material Preview";
    file.comment = u"材质预览场景：地面与四个不同材质的形体（球体、立方体、圆柱体、圆环）。";
    file.englishComment = u"Material preview scene: a floor and four shapes (sphere, cube, cylinder, torus), "
                          u"each with its own material.";

    MeshBuilder mesh(file);
    Floor(mesh, 48.0f, 12);
    mesh.EndMaterial(Material(u"地面", u"Floor", {0.78f, 0.78f, 0.76f, 1.0f}, {0.05f, 0.05f, 0.05f}, 5.0f,
                              kReceiveShadow));
    Sphere(mesh, {-13.5f, 4.0f, 0.0f}, 4.0f, 40, 20);
    mesh.EndMaterial(Material(u"光泽红", u"Glossy red", {0.85f, 0.08f, 0.07f, 1.0f}, {0.9f, 0.9f, 0.9f}, 60.0f,
                              kGroundShadow | kCastShadow | kReceiveShadow));
    Cube(mesh, {-4.5f, 3.5f, 0.0f}, 3.5f);
    mesh.EndMaterial(Material(u"哑光蓝", u"Matte blue", {0.18f, 0.32f, 0.78f, 1.0f}, {0.02f, 0.02f, 0.02f}, 2.0f,
                              kGroundShadow | kCastShadow | kReceiveShadow));
    Cylinder(mesh, {4.5f, 0.0f, 0.0f}, 3.2f, 8.0f, 40);
    mesh.EndMaterial(Material(u"金属金", u"Gold metal", {1.0f, 0.77f, 0.34f, 1.0f}, {1.0f, 0.86f, 0.57f}, 120.0f,
                              kGroundShadow | kCastShadow | kReceiveShadow));
    Torus(mesh, {13.5f, 1.4f, 0.0f}, 3.0f, 1.4f, 40, 20);
    mesh.EndMaterial(Material(u"半透明绿", u"Translucent green", {0.2f, 0.8f, 0.35f, 0.55f}, {0.5f, 0.5f, 0.5f},
                              30.0f, kBothFace | kGroundShadow | kCastShadow | kReceiveShadow | kEdge));

    PMXBone root;
    root.name = u"全ての親";
    root.englishName = u"master";
    root.parentBoneIndex = -1;
    root.boneFlag = static_cast<uint16_t>(PMXBoneFlags::AllowRotate) |
                    static_cast<uint16_t>(PMXBoneFlags::AllowTranslate) |
                    static_cast<uint16_t>(PMXBoneFlags::Visible) | static_cast<uint16_t>(PMXBoneFlags::AllowControl);
    root.positionOffset = {0, 4, 0};
    file.bones.push_back(root);

    PMXDisplayFrame rootFrame;
    rootFrame.name = u"Root";
    rootFrame.englishName = u"Root";
    rootFrame.flag = 1;
    rootFrame.targets = {{PMXDisplayFrameTargetType::BoneIndex, 0}};
    PMXDisplayFrame facial;
    facial.name = u"表情";
    facial.englishName = u"Exp";
    facial.flag = 1;
    file.displayFrames = {rootFrame, facial};
    return file;
}

// The extended materials of the file written beside it: a satin floor that shows reflections,
// a glossy red with a clear coat, a rough blue, polished gold and a smooth translucent green.
std::string ExtendedMaterialsText() {
    return "<materials>\n"
           "  <material name=\"地面\" metallic=\"0.3\" roughness=\"0.25\"/>\n"
           "  <material name=\"光泽红\" shadingModel=\"ClearCoat\" roughness=\"0.35\" clearCoat=\"1\" clearCoatRoughness=\"0.05\"/>\n"
           "  <material name=\"哑光蓝\" roughness=\"0.9\"/>\n"
           "  <material name=\"金属金\" metallic=\"1\" roughness=\"0.3\"/>\n"
           "  <material name=\"半透明绿\" roughness=\"0.3\"/>\n"
           "</materials>\n";
}

std::string SourceText(const std::vector<uint8_t>& bytes) {
    std::string out;
    out.reserve(bytes.size() * 5 + 1024);
    out += "// Generated by tools/generators/gen_sample_model.cpp. Do not edit.\n";
    out += "#include \"assets/SampleModel.h\"\n\nnamespace {\n\nalignas(16) const uint8_t kSampleModel[" +
           std::to_string(bytes.size()) + "] = {\n";
    char item[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(item, sizeof(item), "%u,", static_cast<unsigned>(bytes[i]));
        out += item;
        if (i % 24 == 23) out += '\n';
    }
    out += "\n};\n\n}  // namespace\n\nstd::span<const uint8_t> SampleModelData() { return kSampleModel; }\n";
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: gen_sample_model <output.cpp> [<output.pmx>]\n");
        return 2;
    }
    const PMXFile model = BuildSampleModel();
    if (model.vertices.size() > 0xFFFF) {
        std::fprintf(stderr, "gen_sample_model: %zu vertices do not fit 2-byte indices\n", model.vertices.size());
        return 1;
    }
    const std::vector<uint8_t> bytes = Vesma::WritePmx(model);
    const std::string source = SourceText(bytes);
    if (!WriteWholeFileAtomic(argv[1], std::span(reinterpret_cast<const uint8_t*>(source.data()), source.size()))) {
        std::fprintf(stderr, "gen_sample_model: cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc == 3) {
        std::filesystem::path materials = argv[2];
        materials.replace_extension(".xml");
        const std::string text = ExtendedMaterialsText();
        if (!WriteWholeFileAtomic(argv[2], bytes) ||
            !WriteWholeFileAtomic(materials, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()))) {
            std::fprintf(stderr, "gen_sample_model: cannot write %s and its materials\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
