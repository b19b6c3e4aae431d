#include "tests/support/TexturedCharacter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "core/TextConvert.h"
#include "model/io/PmxWriter.h"
#include "tests/support/PmxBuilders.h"
#include "tests/support/TextureFileWriters.h"
#include "tests/support/VmdWriter.h"

namespace TestSupport {
namespace {

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A painted-looking texture: smooth colour fields with fine grain, which compresses about as
// well as real textures do (PNG decoding time follows the compressed stream).
std::vector<uint8_t> Painting(int width, int height, uint32_t seed, bool alpha) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = static_cast<int>(state >> 29) - 4;
            const float u = float(x) / float(width), v = float(y) / float(height);
            uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            const float base[3] = {0.5f + 0.4f * std::sin(6.0f * u + float(seed)), 0.5f + 0.4f * std::cos(5.0f * v + float(seed)),
                                   0.5f + 0.3f * std::sin(4.0f * (u + v))};
            for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::clamp(int(base[c] * 255.0f) + grain, 0, 255));
            // Hair and lace: an alpha that fades out towards the edge.
            p[3] = alpha ? static_cast<uint8_t>(std::clamp(int((1.0f - v) * 400.0f), 0, 255)) : 255;
        }
    }
    return rgba;
}

}  // namespace

TexturedCharacterFiles WriteTexturedCharacter(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    LargePmxShape shape;
    shape.vertices = 16000;
    shape.bones = 300;
    shape.morphs = 120;
    shape.rigidBodies = 40;
    shape.materials = 24;
    Vesma::PMXFile file = MakeLargePmx(shape);

    // Four chains of ten bodies, apart from each other, each body clear of its neighbours.
    for (size_t i = 0; i < file.rigidBodies.size(); ++i) {
        Vesma::PMXRigidBody& body = file.rigidBodies[i];
        const size_t chain = i / 10, link = i % 10;
        body.translate = {2.0f * float(chain), 1.2f * float(link), 0.0f};
        body.shapeSize = {0.25f, 0.5f, 0.25f};
        body.group = static_cast<uint8_t>(chain);
        body.collisionGroup = static_cast<uint16_t>(0xFFFFu & ~(1u << body.group));
        body.op = link == 0 ? Vesma::PMXRigidBodyOperation::Static : Vesma::PMXRigidBodyOperation::Dynamic;
    }
    std::erase_if(file.joints, [](const Vesma::PMXJoint& joint) { return joint.rigidbodyBIndex % 10 == 0; });

    // Nine large PNGs, four BMPs, seven small PNGs: 20 files.
    struct Texture {
        std::string name;
        int side;
        bool bmp;
        bool alpha;
    };
    std::vector<Texture> textures;
    const char* large[] = {"body", "face", "hair", "eye", "shirt", "skirt", "shoes", "lace", "accessory"};
    for (int i = 0; i < 9; ++i) textures.push_back({std::string("tex/") + large[i] + ".png", 1024, false, i == 2 || i == 7 || i == 8});
    for (int i = 0; i < 4; ++i) textures.push_back({"tex/detail" + std::to_string(i) + ".bmp", i < 2 ? 512 : 256, true, false});
    for (int i = 0; i < 5; ++i) textures.push_back({"toon/toon" + std::to_string(i) + ".png", 32, false, false});
    for (int i = 0; i < 2; ++i) textures.push_back({"sphere/sphere" + std::to_string(i) + ".png", 128, false, false});
    file.textures.clear();
    for (size_t i = 0; i < textures.size(); ++i) {
        const Texture& t = textures[i];
        const std::vector<uint8_t> pixels = Painting(t.side, t.side, static_cast<uint32_t>(i), t.alpha);
        WriteFile(dir / t.name, t.bmp ? EncodeBmp(t.side, t.side, pixels) : EncodePng(t.side, t.side, pixels));
        file.textures.push_back(Utf8ToUtf16(t.name));
    }
    // 24 materials over 13 colour textures: skin, clothes and hair parts share theirs.
    for (size_t i = 0; i < file.materials.size(); ++i) {
        Vesma::PMXMaterial& m = file.materials[i];
        m.textureIndex = static_cast<int32_t>(i % 13);
        m.toonMode = Vesma::PMXToonMode::Separate;
        m.toonTextureIndex = static_cast<int32_t>(13 + i % 5);
        m.sphereTextureIndex = static_cast<int32_t>(18 + i % 2);
        m.sphereMode = Vesma::PMXSphereMode::Multiply;
    }
    TexturedCharacterFiles files{dir / "character.pmx", dir / "character.vmd"};
    WriteFile(files.model, Vesma::WritePmx(file));

    // The first bone ("ボーン0" in Shift_JIS) moves over four seconds.
    VmdContent motion = VmdContent::WithSignature("character");
    for (uint32_t key = 0; key < 5; ++key)
        motion.boneKeys.push_back(MakeBoneKey("\x83\x7B\x81\x5B\x83\x93" "0", key * 30, {float(key % 2), 0, 0}));
    WriteFile(files.motion, WriteVmd(motion).bytes);
    return files;
}

}  // namespace TestSupport
