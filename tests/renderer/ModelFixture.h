#pragma once
// A small textured model on disk for the model GPU-side tests:
//
//   <dir>/model.pmx         (loaded from memory under this path)
//   <dir>/model.xml         extended values: body is Skin with metallic 0.25
//   <dir>/tex/Body.PNG      diffuse of "body", named "./tex/Body.PNG"; beside it the
//   <dir>/tex/Body_{Occlusion,Normal,Curvature,Thickness}.png maps
//   <dir>/face/eye.png      diffuse of "eye", named "face\eye.png" (Windows separator)
//   "missing.png"           named by the model, not on disk
//
// Materials: body (texture 0, 6 indices), eye (texture 1, sphere 2 in add mode, shared toon 3,
// both faces + self-shadow receiver, 3 indices), bad (texture index 7, which does not exist, 3
// indices). One material morph "dim": multiply body's diffuse by 0.5, add 0.25 to every
// material's texture factor.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "core/TextConvert.h"
#include "model/PMXModel.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/support/TextureFileWriters.h"

namespace RendererTest {

class ModelOnDisk {
public:
    ModelOnDisk() {
        static int serial = 0;
        m_dir = std::filesystem::temp_directory_path() /
                ("tavrin-modelgpu-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(m_dir / "tex");
        std::filesystem::create_directories(m_dir / "face");
        WritePng(m_dir / "tex" / "Body.PNG", 200);
        for (const char* map : {"Occlusion", "Normal", "Curvature", "Thickness"})
            WritePng(m_dir / "tex" / (std::string("Body_") + map + ".png"), 100);
        WritePng(m_dir / "face" / "eye.png", 50);
        WriteText(m_dir / "model.xml",
                  "<materials>\n"
                  "  <material name=\"body\" shadingModel=\"Skin\" metallic=\"0.25\" baseColorTint=\"255 128 0\"/>\n"
                  "</materials>\n");
    }
    ~ModelOnDisk() { std::filesystem::remove_all(m_dir); }

    const std::filesystem::path& Dir() const { return m_dir; }
    std::u16string ModelPath() const { return Utf8ToUtf16((m_dir / "model.pmx").string()); }

    static Vesma::PMXFile MakeFile() {
        using namespace Vesma;
        PMXFile file;
        file.header.vertexIndexSize = 4;
        file.modelName = u"textured";
        file.bones.push_back(ModelRigs::Bone(u"root", {0, 0, 0}, -1));
        for (int i = 0; i < 6; ++i)
            file.vertices.push_back(
                ModelRigs::Vertex({float(i), 1.0f, float(i % 2)}, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
        file.faces = {{{0, 1, 2}}, {{2, 3, 0}}, {{3, 4, 5}}, {{5, 4, 1}}};
        file.textures = {u"./tex/Body.PNG", u"face\\eye.png", u"missing.png"};

        PMXMaterial body;
        body.name = u"body";
        body.diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
        body.specular = {0.1f, 0.2f, 0.3f};
        body.specularPower = 5.0f;
        body.ambient = {0.3f, 0.3f, 0.3f};
        body.drawMode = 0x02 | 0x10;  // ground shadow, edge
        body.textureIndex = 0;
        body.sphereTextureIndex = -1;
        body.numFaceVertices = 6;
        PMXMaterial eye = body;
        eye.name = u"eye";
        eye.drawMode = 0x01 | 0x08;
        eye.textureIndex = 1;
        eye.sphereTextureIndex = 2;
        eye.sphereMode = PMXSphereMode::Add;
        eye.toonMode = PMXToonMode::Common;
        eye.toonTextureIndex = 3;
        eye.numFaceVertices = 3;
        PMXMaterial bad = body;
        bad.name = u"bad";
        bad.drawMode = 0;
        bad.textureIndex = 7;
        bad.numFaceVertices = 3;
        file.materials = {body, eye, bad};

        PMXMorph dim;
        dim.name = u"dim";
        dim.morphType = PMXMorphType::Material;
        PMXMaterialMorph mul;
        mul.materialIndex = 0;
        mul.opType = PMXMaterialMorphOp::Mul;
        mul.diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
        mul.specular = {1, 1, 1};
        mul.specularPower = 1.0f;
        mul.ambient = {1, 1, 1};
        mul.edgeColor = {1, 1, 1, 1};
        mul.edgeSize = 1.0f;
        mul.textureFactor = mul.sphereTextureFactor = mul.toonTextureFactor = {1, 1, 1, 1};
        PMXMaterialMorph add;
        add.materialIndex = -1;
        add.opType = PMXMaterialMorphOp::Add;
        add.textureFactor = {0.25f, 0.25f, 0.25f, 0.25f};
        dim.materialMorph = {mul, add};
        file.morphs = {dim};
        return file;
    }

    std::unique_ptr<Vesma::PMXModel> Load() const {
        auto model = std::make_unique<Vesma::PMXModel>();
        if (!model->Load(MakeFile(), ModelPath())) return nullptr;
        return model;
    }

private:
    static void WritePng(const std::filesystem::path& path, uint8_t grey) {
        const std::vector<uint8_t> rgba = {grey, grey, grey, 255, grey, grey, grey, 255,
                                           grey, grey, grey, 255, grey, grey, grey, 255};
        const std::vector<uint8_t> png = TestSupport::EncodePng(2, 2, rgba);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }
    static void WriteText(const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; }

    std::filesystem::path m_dir;
};

}  // namespace RendererTest
