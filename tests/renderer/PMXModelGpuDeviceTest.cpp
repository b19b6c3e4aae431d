// The model's GPU buffers and textures on a device (lavapipe in CI, validation layer on): one
// upload batch for the texture table, blank stand-ins for missing files, and per-frame copies
// that each frame's upload writes without touching the copy the other frame may still read; the
// caller names the copy, and running the model's frame alone uploads nothing.
#include "renderer/PMXModelGpu.h"

#include <unistd.h>

#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "core/MessageLog.h"
#include "model/ModelFrame.h"
#include "tests/engine/GpuTest.h"
#include "tests/renderer/ModelFixture.h"

namespace {

using ProjectTavrin::MaterialBuffer;
using ProjectTavrin::MaterialSlot;
using ProjectTavrin::PMXModelGpu;

class PMXModelGpuDevice : public TavrinTest::GpuTest {
protected:
    void SetUp() override {
        TavrinTest::GpuTest::SetUp();
        if (IsSkipped()) return;
        MessageLog::Instance().Clear();
        m_model = m_disk.Load();
        ASSERT_TRUE(m_model);
        m_gpu = std::make_unique<PMXModelGpu>(*m_model);
        m_gpu->CreateGpuResources(Core());
    }

    /// The bytes of `buffer` as the GPU sees them: copied on the queue into a read-back buffer.
    std::vector<uint8_t> ReadBuffer(Engine::Platform::Resource& buffer) {
        using namespace Engine::Platform;
        const uint64_t size = buffer.Desc().width;
        auto readback = Device().CreateCommittedResource(HeapType::Readback, ResourceDesc::Buffer(size), ResourceState::CopyDest);
        Engine::ResourceUploadBatch batch(Core().GetDeviceShared());
        batch.Begin();
        batch.GetCommandList()->CopyBufferRegion(*readback, 0, buffer, 0, size);
        batch.End(Device()).wait();
        const auto* bytes = static_cast<const uint8_t*>(readback->Map());
        return std::vector<uint8_t>(bytes, bytes + size);
    }

    template <typename T>
    static T At(const std::vector<uint8_t>& bytes, uint64_t offset) {
        T value;
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
        return value;
    }

    /// One frame of the model with its placement moved up by `lift` (no upload).
    void RunFrame(float lift) {
        m_model->SetPlacement({0, 0, 0}, {0, lift, 0});
        Vesma::ModelFrame job;
        job.model = m_model.get();
        job.Run();
    }

    float VertexY(const std::vector<uint8_t>& bytes, uint32_t copy, std::size_t vertex, bool previous = false) {
        const uint64_t offset = m_gpu->GetVertexBuffer().CopyOffset(copy) + vertex * sizeof(Vesma::ModelVertex) +
                                (previous ? offsetof(Vesma::ModelVertex, previousPosition) : 0);
        return At<Math::vec3>(bytes, offset).y;
    }

    RendererTest::ModelOnDisk m_disk;
    std::unique_ptr<Vesma::PMXModel> m_model;
    std::unique_ptr<PMXModelGpu> m_gpu;
};

TEST_F(PMXModelGpuDevice, TexturesLoadAndAMissingOneGetsTheBlankTexture) {
    const auto& textures = m_gpu->GetTextures();
    ASSERT_EQ(textures.size(), 7u);
    const Engine::TextureResource& blank = Engine::GetBlankTexture();
    // The shared toon the eye names comes from the program's own 32 x 32 image.
    EXPECT_TRUE(textures[6].loaded);
    EXPECT_EQ(textures[6].texture.description.width, 32u);
    for (std::size_t i : {0u, 1u, 3u, 4u, 5u}) {
        EXPECT_TRUE(textures[i].loaded) << i;
        EXPECT_FALSE(textures[i].texture.srv.IsNull()) << i;
        EXPECT_NE(textures[i].texture.resource, blank.resource) << i;
        EXPECT_EQ(textures[i].texture.description.width, 2u) << i;
    }
    EXPECT_FALSE(textures[2].loaded);
    EXPECT_EQ(textures[2].texture.resource, blank.resource);
    const std::u16string log = MessageLog::Instance().Peek();
    EXPECT_NE(log.find(u"Failed to load texture(Case sensitive) : " + Utf8ToUtf16((m_disk.Dir() / "missing.png").string())),
              std::u16string::npos)
        << Utf16ToUtf8(log);
}

TEST_F(PMXModelGpuDevice, EveryCopyStartsFilledAndIndicesKeepTheFlippedWinding) {
    const std::vector<uint8_t> indices = ReadBuffer(*m_gpu->GetIndexBuffer().GetResource());
    const std::vector<uint8_t> vertices = ReadBuffer(*m_gpu->GetVertexBuffer().GetResource());
    const std::vector<uint32_t>& list = m_model->GetIndices();
    ASSERT_EQ(list.size(), 12u);
    for (uint32_t copy = 0; copy < Engine::kFrameCount; ++copy) {
        const uint64_t base = m_gpu->GetIndexBuffer().CopyOffset(copy);
        EXPECT_EQ(At<uint32_t>(indices, base + 0), 2u);  // face (0, 1, 2) becomes (2, 1, 0)
        EXPECT_EQ(At<uint32_t>(indices, base + 8), 0u);
        EXPECT_EQ(std::memcmp(indices.data() + base, list.data(), list.size() * 4), 0);
        EXPECT_EQ(std::memcmp(vertices.data() + m_gpu->GetVertexBuffer().CopyOffset(copy), m_model->GetOutputVertices().data(),
                              m_model->GetOutputVertices().size() * sizeof(Vesma::ModelVertex)),
                  0);
    }
}

TEST_F(PMXModelGpuDevice, EachFramesUploadLandsInTheCopyItNames) {
    // The copies are named by the caller, whichever back buffer the engine is on: the second
    // frame's upload goes to the other copy without presenting in between.
    const uint32_t first = (Core().GetBackBufferIndex() + 1) % Engine::kFrameCount;
    const uint32_t second = (first + 1) % Engine::kFrameCount;
    const uint32_t backBuffer = Core().GetBackBufferIndex();

    m_model->GetMorphManager().GetMorph(0)->SetWeight(1.0f);  // body's diffuse halves this frame
    RunFrame(10.0f);
    m_gpu->Upload(first);
    std::vector<uint8_t> vertices = ReadBuffer(*m_gpu->GetVertexBuffer().GetResource());
    std::vector<uint8_t> materials = ReadBuffer(*m_gpu->GetMaterialBuffer().GetResource());
    EXPECT_FLOAT_EQ(VertexY(vertices, first, 3), 11.0f);
    EXPECT_FLOAT_EQ(VertexY(vertices, second, 3), 1.0f);
    EXPECT_FLOAT_EQ(At<MaterialBuffer>(materials, m_gpu->MaterialOffset(0, first)).diffuse.x, 0.4f);
    EXPECT_FLOAT_EQ(At<MaterialBuffer>(materials, m_gpu->MaterialOffset(0, second)).diffuse.x, 0.8f);
    EXPECT_EQ(m_gpu->MaterialOffset(1, first) - m_gpu->MaterialOffset(0, first), 512u);

    m_model->GetMorphManager().GetMorph(0)->SetWeight(0.0f);
    m_gpu->ResetMaterial(2);
    RunFrame(20.0f);
    m_gpu->Upload(second + Engine::kFrameCount);  // indices past the frames in flight wrap
    vertices = ReadBuffer(*m_gpu->GetVertexBuffer().GetResource());
    materials = ReadBuffer(*m_gpu->GetMaterialBuffer().GetResource());
    EXPECT_FLOAT_EQ(VertexY(vertices, second, 3), 21.0f);
    EXPECT_FLOAT_EQ(VertexY(vertices, second, 3, true), 11.0f);  // previous position: the last frame's
    EXPECT_FLOAT_EQ(VertexY(vertices, first, 3), 11.0f);         // the other frame's copy is untouched
    EXPECT_FLOAT_EQ(At<MaterialBuffer>(materials, m_gpu->MaterialOffset(0, second)).diffuse.x, 0.8f);
    EXPECT_FLOAT_EQ(At<MaterialBuffer>(materials, m_gpu->MaterialOffset(0, first)).diffuse.x, 0.4f);
    const auto reset = At<MaterialBuffer>(materials, m_gpu->MaterialOffset(2, second));
    EXPECT_FLOAT_EQ(reset.subsurfaceColor.y, 0.0f);
    EXPECT_EQ(reset.beginIndex, 9);
    EXPECT_EQ(reset.vertexCount, 3);
    EXPECT_FLOAT_EQ(At<MaterialBuffer>(materials, m_gpu->MaterialOffset(2, first)).subsurfaceColor.y, 1.0f);

    EXPECT_EQ(backBuffer, Core().GetBackBufferIndex());
    EXPECT_EQ(m_gpu->GetMaterialBuffer().GpuVirtualAddress(first) + 2 * 512, m_gpu->MaterialAddress(2, first));
}

TEST_F(PMXModelGpuDevice, RunningAFrameWithoutUploadLeavesEveryCopyAsItWas) {
    const std::vector<uint8_t> before = ReadBuffer(*m_gpu->GetVertexBuffer().GetResource());
    RunFrame(7.0f);
    EXPECT_FLOAT_EQ(m_model->GetOutputVertices()[3].position.y, 8.0f);
    const std::vector<uint8_t> after = ReadBuffer(*m_gpu->GetVertexBuffer().GetResource());
    EXPECT_EQ(before, after);
}

TEST_F(PMXModelGpuDevice, DestroyingTheGpuSideLeavesAModelThatStillAnimates) {
    m_gpu.reset();
    RunFrame(5.0f);
    EXPECT_FLOAT_EQ(m_model->GetOutputVertices()[3].position.y, 6.0f);
}

}  // namespace

namespace {

// A model whose three materials name one file three ways, written beside a 2 x 2 PNG.
class SharedTextureModel {
public:
    SharedTextureModel() {
        static int serial = 0;
        m_dir = std::filesystem::temp_directory_path() /
                ("tavrin-sharedtex-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(m_dir / "sub");
        const std::vector<uint8_t> rgba(16, 200);
        const std::vector<uint8_t> png = TestSupport::EncodePng(2, 2, rgba);
        std::ofstream(m_dir / "shared.png", std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }
    ~SharedTextureModel() { std::filesystem::remove_all(m_dir); }

    std::unique_ptr<Vesma::PMXModel> Load() const {
        using namespace Vesma;
        PMXFile file;
        file.header.vertexIndexSize = 4;
        file.bones.push_back(ModelRigs::Bone(u"root", {0, 0, 0}, -1));
        for (int i = 0; i < 3; ++i)
            file.vertices.push_back(ModelRigs::Vertex({float(i), float(i % 2), 0}, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
        file.faces = {{{0, 1, 2}}, {{0, 2, 1}}, {{1, 2, 0}}};
        file.textures = {u"shared.png", u"./shared.png", u"sub/../shared.png"};
        for (int32_t i = 0; i < 3; ++i) {
            PMXMaterial material;
            material.name = u"part" + std::u16string(1, char16_t(u'0' + i));
            material.diffuse = {1, 1, 1, 1};
            material.textureIndex = i;
            material.sphereTextureIndex = -1;
            material.numFaceVertices = 3;
            file.materials.push_back(material);
        }
        auto model = std::make_unique<Vesma::PMXModel>();
        if (!model->Load(std::move(file), Utf8ToUtf16((m_dir / "model.pmx").string()))) return nullptr;
        return model;
    }

private:
    std::filesystem::path m_dir;
};

TEST_F(PMXModelGpuDevice, ATextureFileSharedByMaterialsAndModelsIsDecodedOnce) {
    SharedTextureModel files;
    const auto first = files.Load(), second = files.Load();
    ASSERT_TRUE(first && second);
    ProjectTavrin::SceneTextureCache cache;
    PMXModelGpu a(*first), b(*second);
    cache.Prefetch(a.TextureFiles());
    a.CreateGpuResources(Core(), &cache);
    b.CreateGpuResources(Core(), &cache);
    EXPECT_EQ(cache.FilesDecoded(), 1u);
    const auto& shared = a.GetTextures()[0].texture.resource;
    ASSERT_TRUE(shared);
    EXPECT_NE(shared, Engine::GetBlankTexture().resource);
    for (const PMXModelGpu* gpu : {&a, &b}) {
        ASSERT_EQ(gpu->GetTextures().size(), 3u);
        for (const auto& texture : gpu->GetTextures()) {
            EXPECT_TRUE(texture.loaded);
            EXPECT_EQ(texture.texture.resource, shared) << "one GPU texture for every name of the file";
        }
    }
    // A model on its own decodes its files once too.
    PMXModelGpu alone(*first);
    alone.CreateGpuResources(Core());
    EXPECT_TRUE(alone.GetTextures()[2].loaded);
    EXPECT_EQ(alone.GetTextures()[0].texture.resource, alone.GetTextures()[2].texture.resource);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

}  // namespace
