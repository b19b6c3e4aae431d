// The model draw on the device: shading under the default sun and ambient, alpha clip, culling,
// the blended pass and which materials go to it, shading model 0, and the velocity target.
#include "tests/renderer/RenderStage.h"

#include "renderer/passes/ModelPass.h"

namespace RendererTest {
namespace {

using ProjectTavrin::MaterialPass;
using ProjectTavrin::PassForMaterial;

using ModelDrawGpu = RenderStage;

// Centre pixels of a row of quads at x = -2, 0, 2 (half size 0.8, about 19 pixels wide).
constexpr uint32_t kLeft = 8, kMiddle = 32, kRight = 56, kRow = 32;

float Luma(Rgba8 p) { return 0.2126f * p.r + 0.7152f * p.g + 0.0722f * p.b; }

TEST_F(ModelDrawGpu, DefaultLightingKeepsTheTextureColours) {
    const int32_t tex = AddTexture(2, 2, std::vector<Rgba8>(4, Rgba8{200, 120, 60, 255}));
    // Facing the sun (whose default direction is (1, 1, 1)).
    const float k = 1.0f / std::sqrt(3.0f);
    AddModel({Quad{{0, 0, 0}, 1.0f, {1, 1, 1, 1}, tex, false, false, {k, k, k}}});
    Render();
    const Rgba8 p = Pixel(FinalImage(), kMiddle, kRow);
    // Neither darkened nor washed out: within a few percent of the texel.
    EXPECT_NEAR(p.r, 200, 14);
    EXPECT_NEAR(p.g, 120, 10);
    EXPECT_NEAR(p.b, 60, 8);
    const Rgba8 corner = Pixel(FinalImage(), 1, 1);
    EXPECT_EQ(corner.r, 0);  // cleared background
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ModelDrawGpu, SunlitSideIsBrighterThanTheFarSide) {
    const float k = 1.0f / std::sqrt(3.0f);
    AddModel({Quad{{-2, 0, 0}, 0.8f, {0.8f, 0.8f, 0.8f, 1}, -1, false, false, {k, k, k}},
              Quad{{2, 0, 0}, 0.8f, {0.8f, 0.8f, 0.8f, 1}, -1, false, false, {-k, -k, -k}}});
    Render();
    const auto image = FinalImage();
    const float lit = Luma(Pixel(image, kLeft, kRow)), far = Luma(Pixel(image, kRight, kRow));
    EXPECT_GT(lit, far + 30.0f) << lit << " vs " << far;
    EXPECT_GT(far, 60.0f);  // the ambient light still shows the far side
}

TEST_F(ModelDrawGpu, CutOutTexelsAreDiscardedAndBlendedOnesMix) {
    // Left: a cut-out texture (alpha 0 in the left column) over a red backdrop; middle: a
    // material with diffuse alpha 0.5 (blue) over it; right: plain backdrop.
    std::vector<Rgba8> texels;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) texels.push_back({0, 255, 0, uint8_t(x < 4 ? 0 : 255)});
    const int32_t cut = AddTexture(8, 8, texels);
    AddModel({Quad{{0, 0, -2}, 6.0f, {1, 0, 0, 1}},
              Quad{{-2, 0, 0}, 0.8f, {1, 1, 1, 1}, cut},
              Quad{{0, 0, 0}, 0.8f, {0, 0, 1, 0.5f}}});
    Render();
    const auto image = FinalImage();
    const Rgba8 hole = Pixel(image, kLeft - 5, kRow), solid = Pixel(image, kLeft + 5, kRow);
    EXPECT_GT(hole.r, 150);   // backdrop through the discarded texels
    EXPECT_LT(hole.g, 40);
    EXPECT_GT(solid.g, 150);  // the opaque texels
    EXPECT_LT(solid.r, 40);
    const Rgba8 mixed = Pixel(image, kMiddle, kRow);
    EXPECT_GT(mixed.r, 60);
    EXPECT_GT(mixed.b, 60);
    EXPECT_EQ(renderer->GetModelPass().TransparentDraws(), 1u);
    EXPECT_EQ(renderer->GetModelPass().OpaqueDraws(), 2u);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ModelDrawGpu, DoubleSidedShowsBackFacesAndCulledDoesNot) {
    AddModel({Quad{{-2, 0, 0}, 0.8f, {1, 1, 1, 1}, -1, true, true},
              Quad{{2, 0, 0}, 0.8f, {1, 1, 1, 1}, -1, false, true},
              Quad{{0, 0, 0}, 0.8f, {1, 1, 1, 1}, -1, false, false}});
    Render();
    const auto image = FinalImage();
    EXPECT_GT(Luma(Pixel(image, kLeft, kRow)), 60.0f);    // back face, both faces drawn
    EXPECT_EQ(Luma(Pixel(image, kRight, kRow)), 0.0f);    // back face, culled
    EXPECT_GT(Luma(Pixel(image, kMiddle, kRow)), 60.0f);  // front face
}

TEST_F(ModelDrawGpu, ShadingModelZeroIsNeverDrawn) {
    auto& gpu = AddModel({Quad{{-2, 0, 0}, 0.8f, {1, 1, 1, 1}}, Quad{{2, 0, 0}, 0.8f, {1, 1, 1, 0.5f}}});
    for (auto& m : gpu.GetRenderMaterials()) m.shadingModel = 0;
    Render();
    const auto image = FinalImage();
    EXPECT_EQ(Luma(Pixel(image, kLeft, kRow)), 0.0f);
    EXPECT_EQ(Luma(Pixel(image, kRight, kRow)), 0.0f);
    EXPECT_EQ(renderer->GetModelPass().OpaqueDraws() + renderer->GetModelPass().TransparentDraws(), 0u);
}

TEST_F(ModelDrawGpu, SoftAlphaTexturesAndDiffuseBelowOneGoToTheBlendedPass) {
    const int32_t soft = AddTexture(2, 2, {{255, 255, 255, 255}, {255, 255, 255, 128}, {255, 255, 255, 255}, {255, 255, 255, 255}});
    const int32_t cut = AddTexture(2, 2, {{255, 255, 255, 0}, {255, 255, 255, 255}, {255, 255, 255, 255}, {255, 255, 255, 255}});
    auto& gpu = AddModel({Quad{{-2, 0, 0}, 0.8f, {1, 1, 1, 1}, soft}, Quad{{0, 0, 0}, 0.8f, {1, 1, 1, 1}, cut},
                          Quad{{2, 0, 0}, 0.8f, {1, 1, 1, 0.98f}}});
    EXPECT_TRUE(gpu.HasSoftAlphaTexture(0));
    EXPECT_FALSE(gpu.HasSoftAlphaTexture(1));
    EXPECT_FALSE(gpu.HasSoftAlphaTexture(2));
    Render();
    EXPECT_EQ(renderer->GetModelPass().TransparentDraws(), 2u);
    EXPECT_EQ(renderer->GetModelPass().OpaqueDraws(), 1u);
    // The 0.98 material is visible (the opaque clip of 0.99 would have removed it entirely).
    EXPECT_GT(Luma(Pixel(FinalImage(), kRight, kRow)), 60.0f);
}

// A uniform sphere texture multiplies (mode 1) or adds to (mode 2) the base colour; other modes
// and a missing sphere leave it alone.
TEST_F(ModelDrawGpu, SphereTextureMultipliesOrAdds) {
    const int32_t base = AddTexture(2, 2, std::vector<Rgba8>(4, Rgba8{128, 128, 128, 255}));
    const int32_t sphere = AddTexture(2, 2, std::vector<Rgba8>(4, Rgba8{64, 64, 64, 255}));
    auto& gpu = AddModel({Quad{{-2, 0, 0}, 0.8f, {1, 1, 1, 1}, base}, Quad{{0, 0, 0}, 0.8f, {1, 1, 1, 1}, base},
                          Quad{{2, 0, 0}, 0.8f, {1, 1, 1, 1}, base}});
    auto& materials = gpu.GetRenderMaterials();
    for (auto& m : materials) m.spTextureIndex = sphere;
    materials[0].spTextureMode = 1;
    materials[1].spTextureMode = 2;
    materials[2].spTextureMode = 3;  // a sub-texture: not a sphere map
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.TaaEnable = false; });
    Render();
    const auto image = FinalImage();
    const float multiplied = Luma(Pixel(image, kLeft, kRow)), added = Luma(Pixel(image, kMiddle, kRow)),
                plain = Luma(Pixel(image, kRight, kRow));
    EXPECT_NEAR(multiplied, plain * 64.0f / 255.0f, 6.0f);
    EXPECT_GT(added, plain + 40.0f);
}

TEST_F(ModelDrawGpu, VelocityIsZeroForAStillViewAndNotForAMovingOne) {
    AddModel({Quad{{0, 0, 0}, 2.0f, {1, 1, 1, 1}}});
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.TaaEnable = false; });
    Render();
    const Math::vec2 still = Velocity(kMiddle, kRow);
    EXPECT_EQ(still.x, 0.0f);
    EXPECT_EQ(still.y, 0.0f);
    // The camera moved right since the last frame: the quad moves left on screen.
    SetCamera({0.5f, 0, 10}, {0, 0, 10});
    Render();
    const Math::vec2 moving = Velocity(kMiddle, kRow);
    EXPECT_LT(moving.x, -0.005f);
    EXPECT_NEAR(moving.y, 0.0f, 1e-3f);
}

// The shaders read the push-constant block through the shared struct; the pipeline layout places
// each root parameter by its own rule. The two must agree field for field, within the 128 bytes
// every device offers.
TEST_F(ModelDrawGpu, SharedConstantBlockMatchesTheRootSignature) {
    using Engine::Shared::ModelDrawConstants;
    const ProjectTavrin::ModelPass pass(Device(), 1);
    const auto& root = pass.Root();
    ASSERT_EQ(root.Desc().parameters.size(), ProjectTavrin::kModelRootParameterCount);
    EXPECT_EQ(root.PushConstantBytes(), sizeof(ModelDrawConstants));
    EXPECT_LE(root.PushConstantBytes(), 128u);
    const std::pair<uint32_t, std::size_t> fields[] = {
        {0, offsetof(ModelDrawConstants, frame)},        {1, offsetof(ModelDrawConstants, material)},
        {2, offsetof(ModelDrawConstants, texDiffuse)},   {3, offsetof(ModelDrawConstants, texSphere)},
        {4, offsetof(ModelDrawConstants, texToon)},      {5, offsetof(ModelDrawConstants, texNormal)},
        {6, offsetof(ModelDrawConstants, texCurvature)}, {7, offsetof(ModelDrawConstants, texThickness)},
        {8, offsetof(ModelDrawConstants, texOcclusion)}, {9, offsetof(ModelDrawConstants, alphaClip)},
    };
    for (const auto& [parameter, offset] : fields) EXPECT_EQ(root.ParameterOffset(parameter), offset) << parameter;
}

// What every draw of the frame shares reaches the shaders through the frame block: this frame's
// camera and render-configuration slots and the lighting tables, every other binding "none".
TEST_F(ModelDrawGpu, FrameBlockCarriesTheFrameBindings) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {1, 1, 1, 1}}});
    Render();
    const ProjectTavrin::ModelPass& pass = renderer->GetModelPass();
    const Engine::Shared::ModelFrameConstants& block = pass.FrameConstants();
    EXPECT_NE(block.camera.Value(), 0u);
    EXPECT_NE(block.renderConfig.Value(), 0u);
    EXPECT_NE(block.camera.Value(), block.renderConfig.Value());
    EXPECT_NE(block.brdfIbl, 0xffffffffu);
    EXPECT_NE(block.brdfSkin, 0xffffffffu);
    EXPECT_NE(block.brdfIbl, block.brdfSkin);
    EXPECT_EQ(block.occlusionMap, 0xffffffffu);
    EXPECT_EQ(block.varianceShadowMap, 0xffffffffu);
    EXPECT_EQ(block.ddgiTable, 0xffffffffu);
    EXPECT_EQ(block.shadowData.Value(), 0u);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ModelDrawGpu, VelocityFollowsAMovingModel) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {1, 1, 1, 1}}});
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.TaaEnable = false; });
    MoveModel(0, {0, 0, 0});
    Render();
    EXPECT_EQ(Velocity(kMiddle, kRow).y, 0.0f);
    // Up by 0.25: on screen the quad moves up, which is towards smaller texture coordinates.
    MoveModel(0, {0, 0.25f, 0});
    Render();
    const Math::vec2 v = Velocity(kMiddle, kRow);
    EXPECT_LT(v.y, -0.01f);
    EXPECT_NEAR(v.x, 0.0f, 1e-3f);
}

// A normal map turns the shading normal: one tilted away from the sun darkens a surface that
// faces it, a flat one changes nothing.
TEST_F(ModelDrawGpu, NormalMapTurnsTheShadingNormal) {
    const int32_t flat = AddTexture(2, 2, std::vector<Rgba8>(4, Rgba8{128, 128, 255, 255}));
    // Tangent space: -x (texture u grows to the right) and +y (v grows downwards) point away
    // from the default sun at (1, 1, 1).
    const int32_t away = AddTexture(2, 2, std::vector<Rgba8>(4, Rgba8{38, 218, 146, 255}));
    auto& gpu = AddModel({Quad{{-2, 0, 0}, 0.8f, {0.8f, 0.8f, 0.8f, 1}, -1, false, false, {0, 0, 1}},
                          Quad{{0, 0, 0}, 0.8f, {0.8f, 0.8f, 0.8f, 1}, -1, false, false, {0, 0, 1}},
                          Quad{{2, 0, 0}, 0.8f, {0.8f, 0.8f, 0.8f, 1}, -1, false, false, {0, 0, 1}}});
    gpu.GetRenderMaterials()[0].normalTextureIndex = flat;
    gpu.GetRenderMaterials()[1].normalTextureIndex = away;
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.TaaEnable = false; });
    Render();
    const auto image = FinalImage();
    const float flatLuma = Luma(Pixel(image, kLeft, kRow)), awayLuma = Luma(Pixel(image, kMiddle, kRow)),
                plain = Luma(Pixel(image, kRight, kRow));
    EXPECT_NEAR(flatLuma, plain, 3.0f);
    EXPECT_LT(awayLuma, plain - 15.0f);
}

// Skin with scattering on: at the edge of the sunlit side (N.L = 0) light bleeds further in
// red than in green, through the skin table; without scattering the channels stay equal.
TEST_F(ModelDrawGpu, SkinScattersRedPastTheTerminator) {
    const float k = 1.0f / std::sqrt(2.0f);
    auto& gpu = AddModel({Quad{{0, 0, 0}, 1.0f, {1, 1, 1, 1}, -1, false, false, {k, -k, 0}}});
    ProjectTavrin::MaterialBuffer& m = gpu.GetRenderMaterials()[0];
    m.shadingModel = 3;  // skin
    m.subsurface = 1.0f;
    m.subsurfaceColor = {1, 1, 1};
    m.curvature = 0.9f;
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) {
        s.render.TaaEnable = false;
        s.render.config.AmbientIntensity = 0.0f;
        s.render.config.SunIntensity = 20.0f;  // the light at the terminator is faint
    });
    Render();
    const Rgba8 plain = Pixel(FinalImage(), kMiddle, kRow);
    EXPECT_NEAR(plain.r, plain.g, 2);
    EXPECT_GT(plain.r, 100);
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.config.SSS_Enable = 1; });
    Render();
    const Rgba8 skin = Pixel(FinalImage(), kMiddle, kRow);
    EXPECT_GT(skin.r, skin.g + 8);
    EXPECT_GT(skin.r, 20);
}

TEST(MaterialPassRule, WhichPassDrawsAMaterial) {
    ProjectTavrin::MaterialBuffer m = ProjectTavrin::DefaultMaterialBuffer();
    EXPECT_EQ(PassForMaterial(m, false), MaterialPass::Opaque);
    EXPECT_EQ(PassForMaterial(m, true), MaterialPass::Transparent);
    m.diffuse.w = 0.98f;
    EXPECT_EQ(PassForMaterial(m, false), MaterialPass::Transparent);
    m.diffuse.w = 1.0f;
    m.shadingModel = 11;
    EXPECT_EQ(PassForMaterial(m, false), MaterialPass::Transparent);
    m.shadingModel = 0;
    EXPECT_EQ(PassForMaterial(m, true), MaterialPass::None);
    m.shadingModel = 3;  // skin keeps its shading model in either pass
    EXPECT_EQ(PassForMaterial(m, false), MaterialPass::Opaque);
}

}  // namespace
}  // namespace RendererTest
