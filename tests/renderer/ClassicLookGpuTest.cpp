// The classic look on the device: the toon ramp across a sphere's terminator, shared toons and a
// model's own toon file, the outline (its width on screen near and far, its colour, the edge flag,
// the vertex edge scale, edge morphs), and that a material's style changes nothing but that
// material.
#include "tests/renderer/RenderStage.h"

#include <algorithm>
#include <array>

#include "renderer/passes/ModelPass.h"
#include "renderer/passes/OutlinePass.h"

namespace RendererTest {
namespace {

using ProjectTavrin::MaterialStyleChoice;

constexpr uint32_t kRow = 32;
constexpr Rgba8 kRed{255, 0, 0, 255};

struct SphereShape {
    Math::vec3 center{0, 0, 0};
    float radius = 1.5f;
    int toon = -1;          // shared toon number in the file (0 is toon01); -1: none
    bool castsShadow = false;
    bool edge = false;      // the edge flag
    float edgeSize = 1.0f;
    Math::vec4 edgeColor{1, 0, 0, 1};
    // Vertices with x above this get an edge scale of 0.
    float noEdgeRightOf = 1e9f;
};

// A UV sphere of one material: white diffuse, ambient 0.5, no texture.
Vesma::PMXFile SphereFile(const SphereShape& shape) {
    using namespace Vesma;
    PMXFile file;
    file.header.vertexIndexSize = 4;
    file.modelName = u"sphere";
    file.bones.push_back(ModelRigs::Bone(u"root", {0, 0, 0}, -1));
    constexpr int kRings = 24, kSegments = 48;
    for (int i = 0; i <= kRings; ++i) {
        for (int j = 0; j <= kSegments; ++j) {
            const float theta = Math::kPi * float(i) / kRings, phi = 2.0f * Math::kPi * float(j) / kSegments;
            const Math::vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            const Math::vec3 p = shape.center + n * shape.radius;
            PMXVertex v;
            // The file stores z mirrored.
            v.position = {p.x, p.y, -p.z};
            v.normal = {n.x, n.y, -n.z};
            v.uv = {float(j) / kSegments, float(i) / kRings};
            v.weightType = PMXVertexWeight::BDEF1;
            v.boneIndices = {0, -1, -1, -1};
            v.boneWeights = {1, 0, 0, 0};
            v.edgeScale = p.x > shape.noEdgeRightOf ? 0.0f : 1.0f;
            file.vertices.push_back(v);
        }
    }
    const auto at = [&](int i, int j) { return uint32_t(i * (kSegments + 1) + j); };
    const auto position = [&](uint32_t k) {
        const auto& p = file.vertices[k].position;
        return Math::vec3{p.x, p.y, -p.z};
    };
    for (int i = 0; i < kRings; ++i) {
        for (int j = 0; j < kSegments; ++j) {
            for (auto [a, b, c] : {std::array{at(i, j), at(i + 1, j), at(i + 1, j + 1)},
                                   std::array{at(i, j), at(i + 1, j + 1), at(i, j + 1)}}) {
                const Math::vec3 pa = position(a), pb = position(b), pc = position(c);
                const Math::vec3 n = Math::Cross(pb - pa, pc - pa);
                if (Math::Dot(n, n) < 1e-12f) continue;  // the poles' collapsed triangles
                // Outward in model space; the file keeps the mirrored winding.
                if (Math::Dot(n, pa + pb + pc - shape.center * 3.0f) < 0) std::swap(b, c);
                file.faces.push_back({{a, c, b}});
            }
        }
    }
    PMXMaterial m;
    m.name = u"skin";
    m.diffuse = {1, 1, 1, 1};
    m.ambient = {0.5f, 0.5f, 0.5f};
    m.specular = {0, 0, 0};
    m.specularPower = 0;
    m.drawMode = uint8_t((shape.edge ? 0x10 : 0x00) | (shape.castsShadow ? 0x04 : 0x00));
    m.edgeColor = shape.edgeColor;
    m.edgeSize = shape.edgeSize;
    m.textureIndex = -1;
    m.sphereTextureIndex = -1;
    if (shape.toon >= 0) {
        m.toonMode = PMXToonMode::Common;
        m.toonTextureIndex = shape.toon;
    } else {
        m.toonMode = PMXToonMode::Separate;
        m.toonTextureIndex = -1;
    }
    m.numFaceVertices = int32_t(file.faces.size() * 3);
    file.materials.push_back(m);
    return file;
}

void SetStyle(ProjectTavrin::PMXModelGpu& gpu, MaterialStyleChoice style) {
    for (auto& m : gpu.GetRenderMaterials()) m.materialStyle = uint32_t(style);
}

float Luma(Rgba8 p) { return 0.2126f * p.r + 0.7152f * p.g + 0.0722f * p.b; }
bool IsBackground(Rgba8 p) { return p.r == 0 && p.g == 0 && p.b == 0; }
bool IsRed(Rgba8 p) { return p.r > 100 && p.g < 40 && p.b < 40; }
// Background, or a silhouette pixel only partly covered.
bool IsDim(Rgba8 p) { return p.r < 100 && p.g < 100 && p.b < 100; }

class ClassicLookGpu : public RenderStage {
protected:
    void SetUp() override {
        RenderStage::SetUp();
        if (IsSkipped()) return;
        // The sun from the right, so the terminator runs down the middle of a centred sphere; no
        // temporal jitter, no bloom spreading light between the objects compared.
        renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) {
            s.render.TaaEnable = false;
            s.render.config.SunDirection = {1, 0, 0};
            s.post.BloomStrength = 0.0f;
        });
    }

    void SetOutlineWidth(float width) {
        renderer->Settings().Edit([&](ProjectTavrin::FrameSettings& s) { s.render.OutlineWidth = width; });
    }

    // The sphere's own pixels on row `row`: from its first to its last non-background pixel,
    // less `inset` at each end (the silhouette's partly covered pixels).
    static std::vector<Rgba8> SurfaceRow(const std::vector<Rgba8>& image, uint32_t row, uint32_t inset) {
        int first = -1, last = -1;
        for (uint32_t x = 0; x < kSize; ++x)
            if (!IsBackground(image[row * kSize + x])) {
                if (first < 0) first = int(x);
                last = int(x);
            }
        std::vector<Rgba8> out;
        for (int x = first + int(inset); first >= 0 && x <= last - int(inset); ++x) out.push_back(image[row * kSize + x]);
        return out;
    }

    // Share of `pixels` within `tolerance` of the darkest or the brightest of them.
    static float TwoToneShare(const std::vector<Rgba8>& pixels, float tolerance) {
        float lo = 1e9f, hi = -1e9f;
        for (Rgba8 p : pixels) lo = std::min(lo, Luma(p)), hi = std::max(hi, Luma(p));
        std::size_t near = 0;
        for (Rgba8 p : pixels) near += (std::abs(Luma(p) - lo) <= tolerance || std::abs(Luma(p) - hi) <= tolerance) ? 1 : 0;
        return pixels.empty() ? 0.0f : float(near) / float(pixels.size());
    }

    // The run of red pixels met first coming in from the right edge of row `row` (the ring
    // outside the right silhouette), and from the left edge; dim pixels before it are skipped.
    static int RingWidthRight(const std::vector<Rgba8>& image, uint32_t row) {
        int count = 0;
        for (int x = int(kSize) - 1; x >= 0; --x) {
            const Rgba8 p = image[row * kSize + uint32_t(x)];
            if (IsRed(p)) ++count;
            else if (!IsDim(p) || count > 0) break;
        }
        return count;
    }
    static int RingWidthLeft(const std::vector<Rgba8>& image, uint32_t row) {
        int count = 0;
        for (uint32_t x = 0; x < kSize; ++x) {
            const Rgba8 p = image[row * kSize + x];
            if (IsRed(p)) ++count;
            else if (!IsDim(p) || count > 0) break;
        }
        return count;
    }
    static int RedPixels(const std::vector<Rgba8>& image) {
        return int(std::count_if(image.begin(), image.end(), IsRed));
    }
};

TEST_F(ClassicLookGpu, ClassicMaterialShowsTheRampsTwoTonesAcrossTheTerminatorAndPbrDoesNot) {
    SphereShape shape;
    shape.toon = 2;  // toon03: a crisp step to grey
    auto& gpu = AddModelFile(SphereFile(shape));
    Render();
    const std::vector<Rgba8> pbr = SurfaceRow(FinalImage(), kRow, 2);
    SetStyle(gpu, MaterialStyleChoice::Classic);
    Render();
    const std::vector<Rgba8> classic = SurfaceRow(FinalImage(), kRow, 2);
    ASSERT_GT(classic.size(), 20u);
    ASSERT_GT(pbr.size(), 20u);

    // Classic: the lit half at the lit tone, the far half at the ramp's shadow tone, a step of
    // a few pixels between them.
    EXPECT_GT(TwoToneShare(classic, 6.0f), 0.85f);
    const float shadow = Luma(classic.front()), lit = Luma(classic.back());
    EXPECT_GT(lit, shadow + 40.0f) << lit << " vs " << shadow;
    EXPECT_GT(shadow, 100.0f);  // the shadow tone is grey, not black
    // Physically based: a gradient across the terminator, most pixels at neither end.
    EXPECT_LT(TwoToneShare(pbr, 6.0f), 0.5f);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ClassicLookGpu, SharedToonNumberSelectsItsRampAndTheModelsOwnFileWins) {
    // toon09 is dark grey, toon01 light grey: the far side's share of the lit tone follows.
    const auto shadowShare = [&](int toon) {
        SphereShape shape;
        shape.toon = toon;
        auto& gpu = AddModelFile(SphereFile(shape));
        SetStyle(gpu, MaterialStyleChoice::Classic);
        Render();
        const std::vector<Rgba8> row = SurfaceRow(FinalImage(), kRow, 2);
        const float share = row.empty() ? 0.0f : Luma(row.front()) / std::max(Luma(row.back()), 1.0f);
        MoveModel(0, {100, 0, 0});  // out of view for the next one
        return share;
    };
    const float dark = shadowShare(8);
    EXPECT_NEAR(dark, 0.5f, 0.08f);

    // A file named toon01.bmp beside the model replaces the program's toon01: a red one.
    std::vector<uint8_t> red;
    for (int i = 0; i < 4 * 4; ++i) red.insert(red.end(), {255, 0, 0, 255});
    const std::vector<uint8_t> bmp = TestSupport::EncodeBmp(4, 4, red);
    std::ofstream(Dir() / "toon01.bmp", std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
    SphereShape shape;
    shape.toon = 0;
    auto& own = AddModelFile(SphereFile(shape));
    const auto& toon = own.GetTextures()[std::size_t(own.GetMaterials()[0].toonTextureIndex)];
    EXPECT_EQ(toon.sharedToon, 0);
    EXPECT_EQ(toon.path, Dir() / "toon01.bmp");
    SetStyle(own, MaterialStyleChoice::Classic);
    Render();
    const std::vector<Rgba8> row = SurfaceRow(FinalImage(), kRow, 2);
    ASSERT_FALSE(row.empty());
    EXPECT_GT(row.back().r, 200);
    EXPECT_LT(row.back().g, 30);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ClassicLookGpu, ProgramsOwnToonIsUsedWithoutAFileAndLightlyGreyForToon01) {
    SphereShape shape;
    shape.toon = 0;
    auto& gpu = AddModelFile(SphereFile(shape));
    const auto& toon = gpu.GetTextures()[std::size_t(gpu.GetMaterials()[0].toonTextureIndex)];
    EXPECT_EQ(toon.sharedToon, 1);
    EXPECT_EQ(toon.name, u"toon01.bmp");
    EXPECT_TRUE(toon.loaded);
    SetStyle(gpu, MaterialStyleChoice::Classic);
    Render();
    const std::vector<Rgba8> row = SurfaceRow(FinalImage(), kRow, 2);
    ASSERT_FALSE(row.empty());
    EXPECT_NEAR(Luma(row.front()) / std::max(Luma(row.back()), 1.0f), 0.8f, 0.08f);
}

// With the sun's shadows on, a classic surface in another object's shadow takes the ramp's own
// shadow tone, as its far side does: darker than the lit side, not black.
TEST_F(ClassicLookGpu, SelfShadowFallsIntoTheRampsDarkEnd) {
    SphereShape receiver;
    receiver.toon = 2;  // toon03: shadow tone 0.70
    receiver.castsShadow = true;
    SphereShape caster = receiver;
    caster.center = {-0.8f, 3.0f, 0.6f};  // above the receiver's upper left
    caster.radius = 1.0f;
    auto& a = AddModelFile(SphereFile(receiver));
    auto& b = AddModelFile(SphereFile(caster));
    SetStyle(a, MaterialStyleChoice::Classic);
    SetStyle(b, MaterialStyleChoice::Classic);
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.config.SunDirection = {0, 1, 0}; });
    // The points below the caster's centre and its mirror image across x = 0.
    constexpr uint32_t kShadowedX = 22, kLitX = 42, kY = 18;
    Render(0);
    auto image = FinalImage();
    const float leftBefore = Luma(Pixel(image, kShadowedX, kY)), rightBefore = Luma(Pixel(image, kLitX, kY));
    EXPECT_NEAR(leftBefore, rightBefore, 8.0f) << "without shadows both are lit";

    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.config.SunLightEnable = 1; });
    Render(1);
    image = FinalImage();
    const float shadowed = Luma(Pixel(image, kShadowedX, kY)), lit = Luma(Pixel(image, kLitX, kY));
    EXPECT_NEAR(lit, rightBefore, 8.0f);
    EXPECT_NEAR(shadowed / lit, 0.70f, 0.08f) << shadowed << " vs " << lit;
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ClassicLookGpu, OutlineKeepsItsPixelWidthNearAndFarInItsColour) {
    SetOutlineWidth(45.0f);  // 4 pixels per unit at 64 pixels high
    SphereShape shape;
    shape.edge = true;
    auto& gpu = AddModelFile(SphereFile(shape));
    SetStyle(gpu, MaterialStyleChoice::Classic);
    Render();
    const auto nearImage = FinalImage();
    const int nearRight = RingWidthRight(nearImage, kRow), nearLeft = RingWidthLeft(nearImage, kRow);
    EXPECT_GE(nearRight, 3);
    EXPECT_LE(nearRight, 5);
    EXPECT_NEAR(nearLeft, nearRight, 1);
    EXPECT_TRUE(renderer->GetPassLog().Contains("Outline"));
    EXPECT_EQ(renderer->GetOutlinePass().Draws(), 1u);

    MoveModel(0, {0, 0, -12});  // more than twice as far: half the size on screen
    Render();
    const auto farImage = FinalImage();
    EXPECT_NEAR(RingWidthRight(farImage, kRow), nearRight, 1);
    EXPECT_NEAR(RingWidthLeft(farImage, kRow), nearLeft, 1);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ClassicLookGpu, NoOutlineWithoutTheEdgeFlagForPbrOrWithTheSwitchOff) {
    SetOutlineWidth(45.0f);
    SphereShape flagged;
    flagged.edge = true;
    flagged.center = {-1.3f, 0, 0};
    flagged.radius = 0.8f;
    SphereShape plain = flagged;
    plain.edge = false;
    plain.center = {1.3f, 0, 0};
    auto& a = AddModelFile(SphereFile(flagged));
    auto& b = AddModelFile(SphereFile(plain));
    SetStyle(a, MaterialStyleChoice::Classic);
    SetStyle(b, MaterialStyleChoice::Classic);
    Render();
    auto image = FinalImage();
    EXPECT_GE(RingWidthLeft(image, kRow), 3);   // around the flagged one
    EXPECT_EQ(RingWidthRight(image, kRow), 0);  // not around the other
    EXPECT_EQ(renderer->GetOutlinePass().Draws(), 1u);

    // The same flagged material drawn physically based has no outline.
    SetStyle(a, MaterialStyleChoice::PhysicallyBased);
    Render();
    EXPECT_EQ(RedPixels(FinalImage()), 0);

    // Nor with the outline switched off.
    SetStyle(a, MaterialStyleChoice::Classic);
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.OutlineEnable = false; });
    Render();
    EXPECT_EQ(RedPixels(FinalImage()), 0);
    EXPECT_FALSE(renderer->GetPassLog().Contains("Outline"));
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ClassicLookGpu, VertexEdgeScaleZeroRemovesTheOutlineThere) {
    SetOutlineWidth(45.0f);
    SphereShape shape;
    shape.edge = true;
    shape.noEdgeRightOf = 0.0f;  // the right half's vertices
    auto& gpu = AddModelFile(SphereFile(shape));
    SetStyle(gpu, MaterialStyleChoice::Classic);
    Render();
    const auto image = FinalImage();
    EXPECT_GE(RingWidthLeft(image, kRow), 3);
    EXPECT_EQ(RingWidthRight(image, kRow), 0);
}

TEST_F(ClassicLookGpu, EdgeMorphsChangeTheOutlinesColourAndWidth) {
    SetOutlineWidth(45.0f);
    SphereShape shape;
    shape.edge = true;
    Vesma::PMXFile file = SphereFile(shape);
    // "blue": the edge colour from red to blue; "wide": the edge size doubled.
    const auto morph = [](const char16_t* name, Vesma::PMXMaterialMorphOp op, Math::vec4 edgeColor, float edgeSize) {
        Vesma::PMXMorph m;
        m.name = name;
        m.morphType = Vesma::PMXMorphType::Material;
        Vesma::PMXMaterialMorph o;
        o.materialIndex = 0;
        o.opType = op;
        const bool mul = op == Vesma::PMXMaterialMorphOp::Mul;
        const float keep = mul ? 1.0f : 0.0f;
        o.diffuse = {keep, keep, keep, keep};
        o.specular = {keep, keep, keep};
        o.specularPower = keep;
        o.ambient = {keep, keep, keep};
        o.textureFactor = o.sphereTextureFactor = o.toonTextureFactor = {keep, keep, keep, keep};
        o.edgeColor = edgeColor;
        o.edgeSize = edgeSize;
        m.materialMorph = {o};
        return m;
    };
    file.morphs = {morph(u"blue", Vesma::PMXMaterialMorphOp::Add, {-1, 0, 1, 0}, 0.0f),
                   morph(u"wide", Vesma::PMXMaterialMorphOp::Mul, {1, 1, 1, 1}, 2.0f)};
    auto& gpu = AddModelFile(std::move(file));
    SetStyle(gpu, MaterialStyleChoice::Classic);
    Render();
    const int before = RingWidthRight(FinalImage(), kRow);
    ASSERT_GE(before, 3);

    Model(0).GetMorphManager().GetMorph(0)->SetWeight(1.0f);
    MoveModel(0, {0, 0, 0});  // runs the frame
    Render();
    auto image = FinalImage();
    EXPECT_EQ(RedPixels(image), 0);
    int blue = 0;
    for (uint32_t x = 0; x < kSize; ++x) {
        const Rgba8 p = Pixel(image, x, kRow);
        blue += (p.b > 100 && p.r < 40 && p.g < 40) ? 1 : 0;
    }
    EXPECT_GE(blue, 2 * (before - 1));

    Model(0).GetMorphManager().GetMorph(0)->SetWeight(0.0f);
    Model(0).GetMorphManager().GetMorph(1)->SetWeight(1.0f);
    MoveModel(0, {0, 0, 0});
    Render();
    EXPECT_NEAR(RingWidthRight(FinalImage(), kRow), 2 * before, 2);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(ClassicLookGpu, SwitchingAStyleChangesNothingButThatMaterial) {
    SphereShape left;
    left.toon = 2;
    left.center = {-1.6f, 0, 0};
    left.radius = 1.0f;
    SphereShape right = left;
    right.center = {1.6f, 0, 0};
    auto& a = AddModelFile(SphereFile(left));
    auto& b = AddModelFile(SphereFile(right));
    SetStyle(b, MaterialStyleChoice::PhysicallyBased);  // its own style: the settings don't reach it
    Render();
    const auto before = FinalImage();

    // The left material's own choice, then the settings' style reaching it (it has none).
    for (int step = 0; step < 2; ++step) {
        if (step == 0) {
            SetStyle(a, MaterialStyleChoice::Classic);
        } else {
            SetStyle(a, MaterialStyleChoice::FromSettings);
            renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.MaterialStyle = Vesma::MaterialStyle::Classic; });
        }
        Render();
        const auto after = FinalImage();
        int changedLeft = 0, changedRight = 0;
        for (uint32_t y = 0; y < kSize; ++y)
            for (uint32_t x = 0; x < kSize; ++x) {
                const Rgba8 p = Pixel(before, x, y), q = Pixel(after, x, y);
                const bool same = p.r == q.r && p.g == q.g && p.b == q.b;
                (x < kSize / 2 ? changedLeft : changedRight) += same ? 0 : 1;
            }
        EXPECT_GT(changedLeft, 50) << "step " << step;
        EXPECT_EQ(changedRight, 0) << "step " << step;
    }
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace RendererTest
