#pragma once
// A small stage for the renderer's GPU tests: models made of square quads facing the camera,
// each quad one material, with textures written to a temporary directory; a fixed camera on the
// +z axis looking at the origin; a SceneRenderer on the test device with a 64 x 64 output; and
// helpers to render a frame and read the final 8-bit image or the velocity target back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "Engine/GpuResource/ReadbackBuffer.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "Engine/TextureLoader/TextureLoader.h"
#include "assets/PreIntegratedBrdf.h"
#include "Engine/TextureLoader/HalfFloat.h"
#include "core/TextConvert.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "renderer/CameraBuffer.h"
#include "renderer/PMXModelGpu.h"
#include "renderer/SceneRenderer.h"
#include "tests/engine/GpuTest.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/support/TextureFileWriters.h"

namespace RendererTest {

struct Quad {
    Math::vec3 center;           // model space, the camera looks down -z from +z
    float halfSize = 1.0f;
    Math::vec4 diffuse{1, 1, 1, 1};
    int32_t texture = -1;        // index into the stage's textures
    bool bothFace = false;
    bool facingAway = false;     // wound so that its front looks away from the camera
    Math::vec3 normal{0, 0, 1};  // the shading normal of its four vertices
    bool ground = false;         // lies flat (in x and z), facing up; `normal` is then (0, 1, 0)
    bool castsShadow = false;    // drawn into the sun's shadow map
    /// When given, the quad's four model-space corners in place of centre and half size (drawn
    /// from both sides unless wound as the centred quads are: counter-clockwise seen from the
    /// front).
    std::vector<Math::vec3> corners{};
    // The directions of its sides (facing +z by default); with the default winding the front
    // faces along right x up.
    Math::vec3 right{1, 0, 0};
    Math::vec3 up{0, 1, 0};
};

/// The six faces of a cube, fronts outwards, one material each.
inline std::vector<Quad> Box(Math::vec3 center, float halfSize, Math::vec4 diffuse) {
    struct Face {
        Math::vec3 normal, right, up;
    };
    const Face faces[] = {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                          {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                          {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
    std::vector<Quad> quads;
    for (const Face& f : faces) {
        Quad q;
        q.center = center + f.normal * halfSize;
        q.halfSize = halfSize;
        q.diffuse = diffuse;
        q.normal = f.normal;
        q.right = f.right;
        q.up = f.up;
        quads.push_back(q);
    }
    return quads;
}

struct Rgba8 {
    uint8_t r, g, b, a;
};

class RenderStage : public TavrinTest::GpuTest {
protected:
    static constexpr uint32_t kSize = 64;

    void SetUp() override {
        TavrinTest::GpuTest::SetUp();
        if (IsSkipped()) return;
        static int serial = 0;
        m_dir = std::filesystem::temp_directory_path() /
                ("tavrin-render-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(m_dir);
        Core().SetHeadlessOutput(float(kSize), float(kSize));
        renderer = std::make_unique<ProjectTavrin::SceneRenderer>(Engine::EngineCore::GetInstance());
        m_camera.Create(Device(), 1, Engine::kFrameCount, u"TestCamera");
        Engine::ResourceUploadBatch batch(Core().GetDeviceShared());
        batch.Begin();
        ASSERT_TRUE(Engine::LoadTextureFromMemory(
            m_brdfSkin, u"PreIntegratedBRDF_SKIN",
            std::span<const uint8_t>(Assets::kPreIntegratedBrdfSkinPng, Assets::kPreIntegratedBrdfSkinPngSize),
            Engine::TextureFileType::Other, batch));
        ASSERT_TRUE(Engine::LoadTextureFromMemory(
            m_brdfIbl, u"PreIntegratedBRDF_IBL",
            std::span<const uint8_t>(Assets::kPreIntegratedBrdfIblPng, Assets::kPreIntegratedBrdfIblPngSize),
            Engine::TextureFileType::Other, batch));
        batch.End(Device()).wait();
        SetCamera({0, 0, 10}, {0, 0, 10});
    }

    void TearDown() override {
        if (!IsSkipped()) Core().WaitForGpu();
        m_gpus.clear();
        m_models.clear();
        renderer.reset();
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
        TavrinTest::GpuTest::TearDown();
    }

    /// A 2 x 2 (or w x h) texture with the given texels; returns its index for Quad::texture.
    int32_t AddTexture(uint32_t w, uint32_t h, const std::vector<Rgba8>& texels) {
        std::vector<uint8_t> rgba;
        for (const Rgba8& t : texels) rgba.insert(rgba.end(), {t.r, t.g, t.b, t.a});
        const std::string name = "t" + std::to_string(m_textures.size()) + ".png";
        const std::vector<uint8_t> png = TestSupport::EncodePng(int(w), int(h), rgba);
        std::ofstream(m_dir / name, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
        m_textures.push_back(Utf8ToUtf16(name));
        return int32_t(m_textures.size() - 1);
    }

    /// Loads a model of `quads` (one material each, in order) and makes its GPU side.
    ProjectTavrin::PMXModelGpu& AddModel(const std::vector<Quad>& quads) {
        using namespace Vesma;
        PMXFile file;
        file.header.vertexIndexSize = 4;
        file.modelName = u"stage";
        file.bones.push_back(ModelRigs::Bone(u"root", {0, 0, 0}, -1));
        file.textures = m_textures;
        for (const Quad& q : quads) {
            const uint32_t base = uint32_t(file.vertices.size());
            const float s = q.halfSize;
            const Math::vec2 corners[4] = {{-s, -s}, {s, -s}, {s, s}, {-s, s}};
            const Math::vec2 uvs[4] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
            for (int i = 0; i < 4; ++i) {
                PMXVertex v;
                // The file stores z mirrored. A ground quad's second axis runs along -z, so that
                // its front faces up.
                if (q.corners.size() == 4) {
                    v.position = {q.corners[i].x, q.corners[i].y, -q.corners[i].z};
                    v.normal = {q.normal.x, q.normal.y, -q.normal.z};
                } else if (q.ground) {
                    v.position = {q.center.x + corners[i].x, q.center.y, -(q.center.z - corners[i].y)};
                    v.normal = {0, 1, 0};
                } else {
                    const Math::vec3 p = q.center + q.right * corners[i].x + q.up * corners[i].y;
                    v.position = {p.x, p.y, -p.z};
                    v.normal = {q.normal.x, q.normal.y, -q.normal.z};
                }
                v.uv = uvs[i];
                v.weightType = PMXVertexWeight::BDEF1;
                v.boneIndices = {0, -1, -1, -1};
                v.boneWeights = {1, 0, 0, 0};
                file.vertices.push_back(v);
            }
            if (q.facingAway) file.faces.insert(file.faces.end(), {{{base, base + 1, base + 2}}, {{base, base + 2, base + 3}}});
            else file.faces.insert(file.faces.end(), {{{base, base + 2, base + 1}}, {{base, base + 3, base + 2}}});
            PMXMaterial m;
            m.name = u"quad" + Utf8ToUtf16(std::to_string(file.materials.size()));
            m.diffuse = q.diffuse;
            m.ambient = {0.5f, 0.5f, 0.5f};
            m.drawMode = static_cast<uint8_t>((q.bothFace ? 0x01 : 0x00) | (q.castsShadow ? 0x04 : 0x00));
            m.textureIndex = q.texture;
            m.sphereTextureIndex = -1;
            m.numFaceVertices = 6;
            file.materials.push_back(m);
        }
        return AddModelFile(std::move(file));
    }

    /// Loads a model from `file` (its textures named relative to the stage's directory), runs
    /// its first frame and makes its GPU side.
    ProjectTavrin::PMXModelGpu& AddModelFile(Vesma::PMXFile file) {
        using namespace Vesma;
        auto model = std::make_unique<PMXModel>();
        const std::string path = (m_dir / ("stage" + std::to_string(m_models.size()) + ".pmx")).string();
        EXPECT_TRUE(model->Load(std::move(file), Utf8ToUtf16(path)));
        ModelFrame job;
        job.model = model.get();
        job.Run();
        auto gpu = std::make_unique<ProjectTavrin::PMXModelGpu>(*model);
        gpu->CreateGpuResources(Core());
        m_models.push_back(std::move(model));
        m_gpus.push_back(std::move(gpu));
        return *m_gpus.back();
    }

    /// Places model `index` at `offset` and runs its frame (its previous positions are where it
    /// was before).
    void MoveModel(std::size_t index, Math::vec3 offset) {
        m_models[index]->SetPlacement({0, 0, 0}, offset);
        Vesma::ModelFrame job;
        job.model = m_models[index].get();
        job.Run();
    }

    /// Every model's GPU side, in the order they were added.
    std::vector<ProjectTavrin::PMXModelGpu*> ModelGpus() const {
        std::vector<ProjectTavrin::PMXModelGpu*> out;
        for (const auto& gpu : m_gpus) out.push_back(gpu.get());
        return out;
    }
    /// The stage's texture names, for files made by hand.
    const std::vector<std::u16string>& TextureNames() const { return m_textures; }

    /// Camera at `eye` this frame, at `previousEye` the frame before, both looking down -z.
    void SetCamera(Math::vec3 eye, Math::vec3 previousEye) {
        ProjectTavrin::CameraBuffer c;
        const float fov = 30.0f * Math::kPi / 180.0f;
        c.view = Math::LookAtRH(eye, {eye.x, eye.y, eye.z - 1}, {0, 1, 0});
        c.prevView = Math::LookAtRH(previousEye, {previousEye.x, previousEye.y, previousEye.z - 1}, {0, 1, 0});
        c.projection = c.prevProjection = Math::PerspectiveFovRH(fov, 1.0f, 1.0f, 16384.0f);
        c.inverseViewProjection = Math::Inverse(c.view * c.projection);
        c.screenSize = {float(kSize), float(kSize), 1.0f / kSize, 1.0f / kSize};
        c.cameraWorldPos = {eye, 0};
        c.cameraViewDir = {0, 0, -1, 0};
        m_cameraBlock = c;
    }

    /// A still camera at `eye` looking at `focus` (30 degrees vertical field of view).
    void SetCameraLookAt(Math::vec3 eye, Math::vec3 focus) {
        ProjectTavrin::CameraBuffer c;
        const float fov = 30.0f * Math::kPi / 180.0f;
        c.view = c.prevView = Math::LookAtRH(eye, focus, {0, 1, 0});
        c.projection = c.prevProjection = Math::PerspectiveFovRH(fov, 1.0f, 1.0f, 16384.0f);
        c.inverseViewProjection = Math::Inverse(c.view * c.projection);
        c.screenSize = {float(kSize), float(kSize), 1.0f / kSize, 1.0f / kSize};
        c.cameraWorldPos = {eye, 0};
        c.cameraViewDir = {Math::Normalize(focus - eye), 0};
        m_cameraBlock = c;
    }

    /// The pixel the camera sees world point `p` at (x right, y down).
    Math::vec2 PixelOf(Math::vec3 p) const {
        const Math::vec3 ndc = Math::TransformCoord(p, m_cameraBlock.view * m_cameraBlock.projection);
        return {(ndc.x * 0.5f + 0.5f) * kSize, (0.5f - ndc.y * 0.5f) * kSize};
    }
    const ProjectTavrin::CameraBuffer& CameraBlock() const { return m_cameraBlock; }

    /// Uploads everything for frame `counter` and records it.
    void Render(uint32_t counter = 0) {
        const uint32_t frameIndex = Core().GetBackBufferIndex();
        m_cameraBlock.frameCount = int32_t(counter);
        const ProjectTavrin::CameraBufferSlot slot{m_cameraBlock.ForShaders()};
        m_camera.CopyToGpu(std::span(&slot, 1), frameIndex);
        for (auto& gpu : m_gpus) gpu->Upload(frameIndex);
        renderer->UploadSettings(frameIndex, 0.0, m_cameraBlock.view * m_cameraBlock.projection);
        ProjectTavrin::FrameInputs inputs;
        inputs.cameraAddress = m_camera.GpuVirtualAddress(frameIndex);
        inputs.frameIndex = frameIndex;
        inputs.frameCounter = counter;
        inputs.frameSeconds = frameSeconds;
        inputs.camera = m_cameraBlock;
        for (auto& gpu : m_gpus) inputs.models.push_back(gpu.get());
        inputs.brdfIbl = &m_brdfIbl;
        inputs.brdfSkin = &m_brdfSkin;
        renderer->RenderFrame(inputs);
        Core().WaitForGpu();
    }

    /// The final 8-bit image, row-major from the top.
    std::vector<Rgba8> FinalImage() {
        Engine::ReadbackBuffer readback;
        auto& target = renderer->Targets().color8Bit;
        const uint8_t* bytes = readback.ReadBack(target);
        std::vector<Rgba8> out(target.Width() * target.Height());
        for (uint32_t y = 0; y < target.Height(); ++y)
            std::memcpy(&out[y * target.Width()], bytes + y * readback.RowPitch(), target.Width() * 4);
        return out;
    }
    Rgba8 Pixel(const std::vector<Rgba8>& image, uint32_t x, uint32_t y) const { return image[y * kSize + x]; }

    /// A one-channel 8-bit image read back, row-major from the top, as values in [0, 1].
    static std::vector<float> ReadR8(Engine::ColorBuffer& image) {
        Engine::ReadbackBuffer readback;
        const uint8_t* bytes = readback.ReadBack(image);
        std::vector<float> out(image.Width() * image.Height());
        for (uint32_t y = 0; y < image.Height(); ++y)
            for (uint32_t x = 0; x < image.Width(); ++x) out[y * image.Width() + x] = bytes[y * readback.RowPitch() + x] / 255.0f;
        return out;
    }

    /// The resolved velocity target's red and green channels at (x, y).
    Math::vec2 Velocity(uint32_t x, uint32_t y) {
        Engine::ReadbackBuffer readback;
        const uint8_t* bytes = readback.ReadBack(renderer->Targets().velocity);
        uint16_t half[2];
        std::memcpy(half, bytes + y * readback.RowPitch() + x * 8, 4);
        return {Engine::HalfToFloat(half[0]), Engine::HalfToFloat(half[1])};
    }

    /// The directory the stage's models and textures live in.
    const std::filesystem::path& Dir() const { return m_dir; }
    Vesma::PMXModel& Model(std::size_t index) { return *m_models[index]; }

    std::unique_ptr<ProjectTavrin::SceneRenderer> renderer;
    /// The step each rendered frame stands for.
    double frameSeconds = 1.0 / 30.0;

private:
    std::filesystem::path m_dir;
    std::vector<std::u16string> m_textures;
    std::vector<std::unique_ptr<Vesma::PMXModel>> m_models;
    std::vector<std::unique_ptr<ProjectTavrin::PMXModelGpu>> m_gpus;
    Engine::StructuredBuffer<ProjectTavrin::CameraBufferSlot> m_camera;
    ProjectTavrin::CameraBuffer m_cameraBlock;
    Engine::TextureResource m_brdfIbl, m_brdfSkin;
};

}  // namespace RendererTest
