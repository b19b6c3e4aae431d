// The model's GPU-side tables that need no device: texture table, material blocks from the PMX
// and extended materials, extended maps by suffix, morphs, reset and restore, saving.
#include "renderer/PMXModelGpu.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/MessageLog.h"
#include "model/ModelFrame.h"
#include "tests/renderer/ModelFixture.h"

namespace {

using ProjectTavrin::MaterialBuffer;
using ProjectTavrin::ModelTexture;
using ProjectTavrin::PMXModelGpu;

class PMXModelGpuTables : public ::testing::Test {
protected:
    void SetUp() override {
        MessageLog::Instance().Clear();
        m_model = m_disk.Load();
        ASSERT_TRUE(m_model);
        m_gpu = std::make_unique<PMXModelGpu>(*m_model);
    }
    RendererTest::ModelOnDisk m_disk;
    std::unique_ptr<Vesma::PMXModel> m_model;
    std::unique_ptr<PMXModelGpu> m_gpu;
};

TEST_F(PMXModelGpuTables, TextureTableHoldsTheFileTexturesThenTheExtendedMaps) {
    const auto& textures = m_gpu->GetTextures();
    // Three from the file; body (Skin) finds occlusion, normal and curvature but no thickness;
    // eye names shared toon 4.
    ASSERT_EQ(textures.size(), 7u);
    const std::filesystem::path& dir = m_disk.Dir();
    EXPECT_EQ(textures[0].path, dir / "tex" / "Body.PNG");  // "./" dropped
    EXPECT_EQ(textures[0].name, u"tex/Body.PNG");
    EXPECT_EQ(textures[1].path, dir / "face" / "eye.png");  // backslash read as a separator
    EXPECT_EQ(textures[2].path, dir / "missing.png");
    // Extended maps keep the diffuse file's directory and take its extension in lower case.
    EXPECT_EQ(textures[3].path, dir / "tex" / "Body_Occlusion.png");
    EXPECT_EQ(textures[4].path, dir / "tex" / "Body_Normal.png");
    EXPECT_EQ(textures[5].path, dir / "tex" / "Body_Curvature.png");
    EXPECT_EQ(textures[6].name, u"toon04.bmp");

    const MaterialBuffer& body = m_gpu->GetMaterials()[0];
    EXPECT_EQ(body.occlusionTextureIndex, 3);
    EXPECT_EQ(body.normalTextureIndex, 4);
    EXPECT_EQ(body.curvatureTextureIndex, 5);
    EXPECT_EQ(body.thicknessTextureIndex, -1);
    // eye.png has no maps beside it; "bad" has no diffuse texture, so nothing is looked up.
    for (std::size_t m : {1u, 2u}) {
        const MaterialBuffer& b = m_gpu->GetMaterials()[m];
        EXPECT_EQ(b.occlusionTextureIndex, -1);
        EXPECT_EQ(b.normalTextureIndex, -1);
        EXPECT_EQ(b.curvatureTextureIndex, -1);
    }
}

TEST_F(PMXModelGpuTables, SubsurfaceLooksForThicknessToo) {
    std::ofstream(m_disk.Dir() / "model.xml") << "<materials><material name=\"body\" shadingModel=\"Subsurface\"/></materials>";
    PMXModelGpu gpu(*m_model);
    const MaterialBuffer& body = gpu.GetMaterials()[0];
    EXPECT_EQ(body.occlusionTextureIndex, 3);
    EXPECT_EQ(body.normalTextureIndex, 4);
    EXPECT_EQ(body.curvatureTextureIndex, 5);
    EXPECT_EQ(body.thicknessTextureIndex, 6);
    EXPECT_EQ(gpu.GetTextures()[6].path, m_disk.Dir() / "tex" / "Body_Thickness.png");
}

TEST_F(PMXModelGpuTables, BlocksComeFromThePmxMaterialAndTheExtendedValues) {
    const auto& materials = m_gpu->GetMaterials();
    ASSERT_EQ(materials.size(), 3u);
    const MaterialBuffer& body = materials[0];
    EXPECT_FLOAT_EQ(body.diffuse.x, 0.8f);
    EXPECT_FLOAT_EQ(body.specularPower, 5.0f);
    EXPECT_EQ(body.textureIndex, 0);
    EXPECT_EQ(body.spTextureIndex, -1);
    EXPECT_EQ(body.shadowCaster, 1);
    EXPECT_EQ(body.shadowReceiver, 0);
    EXPECT_EQ(body.edgeFlag, 1);
    EXPECT_EQ(body.bothFace, 0);
    EXPECT_EQ(body.shadingModel, 3u);
    EXPECT_FLOAT_EQ(body.metallic, 0.25f);
    EXPECT_FLOAT_EQ(body.baseColorTint.y, 128.0f / 255.0f);
    EXPECT_EQ(body.beginIndex, 0);
    EXPECT_EQ(body.vertexCount, 6);

    const MaterialBuffer& eye = materials[1];
    EXPECT_EQ(eye.spTextureIndex, 2);
    EXPECT_EQ(eye.spTextureMode, 2);
    // Shared toon 3 in the file is toon04, the program's own image (no file of that name here),
    // appended to the table after the file's textures.
    ASSERT_GE(eye.toonTextureIndex, 3);
    const ModelTexture& toon = m_gpu->GetTextures()[std::size_t(eye.toonTextureIndex)];
    EXPECT_EQ(toon.name, u"toon04.bmp");
    EXPECT_EQ(toon.sharedToon, 4);
    EXPECT_TRUE(toon.path.empty());
    EXPECT_EQ(eye.bothFace, 1);
    EXPECT_EQ(eye.shadowCaster, 0);
    EXPECT_EQ(eye.shadowReceiver, 1);
    EXPECT_EQ(eye.beginIndex, 6);
    EXPECT_EQ(eye.vertexCount, 3);
    // Not in the file: the extended defaults, which replace the default block's red subsurface.
    EXPECT_EQ(eye.shadingModel, 1u);
    EXPECT_FLOAT_EQ(eye.subsurfaceColor.y, 1.0f);

    // A texture index past the table names no texture.
    EXPECT_EQ(materials[2].textureIndex, -1);
    EXPECT_EQ(materials[2].beginIndex, 9);

    // Every material has an entry in the map now.
    EXPECT_EQ(m_gpu->GetExtendedMaterials().Size(), 3u);
}

TEST_F(PMXModelGpuTables, MaterialMorphsReachTheRenderBlocksNotTheLoadedOnes) {
    m_model->GetMorphManager().GetMorph(0)->SetWeight(1.0f);
    Vesma::ModelFrame job;
    job.model = m_model.get();
    job.Run();
    m_gpu->Upload(0);

    const MaterialBuffer& body = m_gpu->GetRenderMaterials()[0];
    EXPECT_FLOAT_EQ(body.diffuse.x, 0.4f);
    EXPECT_FLOAT_EQ(body.diffuse.y, 0.3f);
    EXPECT_FLOAT_EQ(body.diffuse.w, 1.0f);
    EXPECT_FLOAT_EQ(body.specularPower, 5.0f);
    EXPECT_FLOAT_EQ(body.textureAddFactor.x, 0.25f);
    EXPECT_FLOAT_EQ(body.textureMulFactor.x, 1.0f);
    // The add morph names every material; the multiply one only body.
    const MaterialBuffer& eye = m_gpu->GetRenderMaterials()[1];
    EXPECT_FLOAT_EQ(eye.diffuse.x, 0.8f);
    EXPECT_FLOAT_EQ(eye.textureAddFactor.w, 0.25f);
    EXPECT_FLOAT_EQ(m_gpu->GetMaterials()[0].diffuse.x, 0.8f);
    EXPECT_FLOAT_EQ(m_gpu->GetMaterials()[0].textureAddFactor.x, 0.0f);

    // The next frame starts from the loaded values again: nothing accumulates.
    m_model->GetMorphManager().GetMorph(0)->SetWeight(0.0f);
    job.Run();
    m_gpu->Upload(1);
    EXPECT_FLOAT_EQ(m_gpu->GetRenderMaterials()[0].diffuse.x, 0.8f);
    EXPECT_FLOAT_EQ(m_gpu->GetRenderMaterials()[0].textureAddFactor.x, 0.0f);
}

TEST_F(PMXModelGpuTables, ResetKeepsTheIndexRangeAndRestoreBringsBackTheLoadedBlock) {
    m_gpu->ResetMaterial(1);
    const MaterialBuffer& eye = m_gpu->GetRenderMaterials()[1];
    EXPECT_EQ(eye.beginIndex, 6);
    EXPECT_EQ(eye.vertexCount, 3);
    EXPECT_EQ(eye.textureIndex, -1);
    EXPECT_EQ(eye.bothFace, 0);
    EXPECT_FLOAT_EQ(eye.subsurfaceColor.x, 1.0f);
    EXPECT_FLOAT_EQ(eye.subsurfaceColor.y, 0.0f);  // the default block's red shows after a reset
    EXPECT_EQ(eye.shadingModel, 1u);

    m_gpu->RestoreMaterial(1);
    EXPECT_EQ(std::memcmp(&m_gpu->GetRenderMaterials()[1], &m_gpu->GetMaterials()[1], sizeof(MaterialBuffer)), 0);
    m_gpu->ResetMaterial(99);  // no such material: nothing happens
    m_gpu->RestoreMaterial(99);
}

TEST_F(PMXModelGpuTables, SavingWritesTheRenderBlocksInMaterialOrder) {
    m_gpu->GetRenderMaterials()[1].shadingModel = 11;
    m_gpu->GetRenderMaterials()[1].roughness = 0.5f;
    ASSERT_TRUE(m_gpu->WriteExtendedMaterials());

    std::ifstream in(m_disk.Dir() / "model.xml");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t body = text.find("name=\"body\""), eye = text.find("name=\"eye\""), bad = text.find("name=\"bad\"");
    ASSERT_NE(body, std::string::npos);
    EXPECT_LT(body, eye);
    EXPECT_LT(eye, bad);

    PMXModelGpu reloaded(*m_model);
    EXPECT_EQ(reloaded.GetMaterials()[0].shadingModel, 3u);
    EXPECT_FLOAT_EQ(reloaded.GetMaterials()[0].metallic, 0.25f);
    EXPECT_EQ(reloaded.GetMaterials()[1].shadingModel, 11u);
    EXPECT_FLOAT_EQ(reloaded.GetMaterials()[1].roughness, 0.5f);
}

TEST(PMXModelGpuEmpty, AModelThatFailedToLoadHasNoTablesAndTheSampleReadsNoFile) {
    Vesma::PMXModel failed;
    EXPECT_FALSE(failed.Load(u"/nonexistent/dir/model.pmx"));
    PMXModelGpu gpu(failed);
    EXPECT_TRUE(gpu.GetTextures().empty());
    EXPECT_TRUE(gpu.GetMaterials().empty());
    gpu.Upload(0);
    EXPECT_TRUE(gpu.WriteExtendedMaterials());  // a model without a path writes no file

    Vesma::PMXModel sample;
    ASSERT_TRUE(sample.Load(u"<Sample>"));
    PMXModelGpu sampleGpu(sample);
    EXPECT_EQ(sampleGpu.GetMaterials().size(), sample.GetMaterials().size());
}

}  // namespace
