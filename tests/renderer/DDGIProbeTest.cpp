// Probe GI on small volumes: probes inside a closed box whose walls glow from the inside settle
// on the radiance the box must hold (light bouncing between the walls included), a probe outside
// sees none of it, a probe inside a solid block moves out, and the frame runs the probe update
// and lights the models with it when GI mode 1 is chosen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Engine/TextureLoader/HalfFloat.h"
#include "ddgi/DDGIPass.h"
#include "renderer/passes/ModelPass.h"
#include "tests/renderer/RaytracingStage.h"

namespace RendererTest {
namespace {

using ddgi::ProbeVolumeDesc;

class DDGIProbes : public RaytracingStage {
protected:
    void TearDown() override {
        if (!IsSkipped()) Core().WaitForGpu();
        m_pass.reset();
        RaytracingStage::TearDown();
    }

    /// A closed box of 12 triangles around `center`; its normals point inwards or outwards. One
    /// material: grey `albedo`, glowing with `emission` (radiance albedo x emission).
    ProjectTavrin::PMXModelGpu& AddBox(Math::vec3 center, float half, bool inwards, float albedo, float emission) {
        using namespace Vesma;
        PMXFile file;
        file.header.vertexIndexSize = 4;
        file.modelName = u"box";
        file.bones.push_back(ModelRigs::Bone(u"root", {0, 0, 0}, -1));
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int axis = 0; axis < 3; ++axis)
            for (float side : {-1.0f, 1.0f}) {
                const uint32_t base = uint32_t(file.vertices.size());
                for (const auto& c : corners) {
                    Math::vec3 p = center, n{0, 0, 0};
                    p[axis] += side * half;
                    p[(axis + 1) % 3] += c[0] * half;
                    p[(axis + 2) % 3] += c[1] * half;
                    n[axis] = inwards ? -side : side;
                    PMXVertex v;
                    v.position = {p.x, p.y, -p.z};  // the file stores z mirrored
                    v.normal = {n.x, n.y, -n.z};
                    v.uv = {0, 0};
                    v.weightType = PMXVertexWeight::BDEF1;
                    v.boneIndices = {0, -1, -1, -1};
                    v.boneWeights = {1, 0, 0, 0};
                    file.vertices.push_back(v);
                }
                file.faces.insert(file.faces.end(), {{{base, base + 1, base + 2}}, {{base, base + 2, base + 3}}});
            }
        PMXMaterial m;
        m.name = u"box";
        m.diffuse = {albedo, albedo, albedo, 1};
        m.ambient = {0, 0, 0};
        m.drawMode = 0x01;
        m.textureIndex = -1;
        m.sphereTextureIndex = -1;
        m.numFaceVertices = 36;
        file.materials.push_back(m);
        ProjectTavrin::PMXModelGpu& gpu = AddModelFile(std::move(file));
        gpu.GetRenderMaterials()[0].emission = emission;
        return gpu;
    }

    static ProbeVolumeDesc SmallVolume(Math::vec3 origin, int32_t count, float spacing) {
        ProbeVolumeDesc d;
        d.name = "test";
        d.origin = origin;
        d.probeCounts[0] = d.probeCounts[1] = d.probeCounts[2] = count;
        d.probeSpacing = {spacing, spacing, spacing};
        d.raysPerProbe = 144;
        d.maxRayDistance = 100.0f;
        d.viewBias = 0.0f;
        d.normalBias = 0.05f;
        return d;
    }

    /// Builds the scene from both frames' copies and the probe pass with `volumes`.
    void MakePass(const std::vector<ProbeVolumeDesc>& volumes) {
        UploadModels(0);
        UploadModels(1);
        BuildScene();
        m_pass = std::make_unique<ddgi::DDGIPass>(Device(), *m_scene);
        ASSERT_TRUE(m_pass->SetVolumeDescs(volumes));
    }

    /// `frames` frames of probe updates in the dark (no sun, no sky).
    void Update(uint32_t frames) {
        Engine::Shared::GIOptions dark{};
        dark.SkyLightUpperLimit = 100.0f;
        for (uint32_t i = 0; i < frames; ++i) {
            const uint32_t f = m_frame++ % Engine::kFrameCount;
            Core().ResetCommandList();
            auto& list = *Core().GetCommandList();
            list.SetDescriptorHeaps(Core().GetHeap(Engine::Platform::DescriptorHeapType::CbvSrvUav));
            m_scene->BuildAll(list, f);
            m_pass->Update(list, f, dark);
            SubmitAndWait();
        }
    }

    /// Decoded irradiance / pi of every probe of `volume`, averaged over its tile's interior.
    static std::vector<Math::vec3> ProbeIrradiance(ddgi::DDGIVolume& volume) {
        const ProbeVolumeDesc& d = volume.Desc();
        Engine::ReadbackBuffer readback;
        const uint8_t* bytes = readback.ReadBack(volume.Irradiance());
        const int tile = d.irradianceTexels + 2;
        std::vector<Math::vec3> out;
        for (int z = 0; z < d.probeCounts[2]; ++z)
            for (int y = 0; y < d.probeCounts[1]; ++y)
                for (int x = 0; x < d.probeCounts[0]; ++x) {
                    Math::vec3 sum{0, 0, 0};
                    for (int ty = 1; ty <= d.irradianceTexels; ++ty)
                        for (int tx = 1; tx <= d.irradianceTexels; ++tx) {
                            const int px = (x + d.probeCounts[0] * y) * tile + tx, py = z * tile + ty;
                            uint16_t half[4];
                            std::memcpy(half, bytes + py * readback.RowPitch() + px * 8, 8);
                            for (int c = 0; c < 3; ++c) sum[c] += std::pow(Engine::HalfToFloat(half[c]), d.irradianceGamma);
                        }
                    const float n = float(d.irradianceTexels * d.irradianceTexels);
                    out.push_back({sum.x / n, sum.y / n, sum.z / n});
                }
        return out;
    }

    /// Every border texel of every tile of `atlas` (8 bytes a texel) against the interior texel it
    /// repeats: across an edge, mirrored along it; a corner takes the opposite corner. Returns the
    /// number of texels that differ.
    static int BorderMismatches(Engine::ColorBuffer& atlas, int tilesX, int tilesY, int n) {
        Engine::ReadbackBuffer readback;
        const uint8_t* bytes = readback.ReadBack(atlas);
        auto texel = [&](int x, int y) {
            uint64_t v;
            std::memcpy(&v, bytes + y * readback.RowPitch() + x * 8, 8);
            return v;
        };
        int mismatches = 0;
        const int last = n + 1;
        for (int ty = 0; ty < tilesY; ++ty)
            for (int tx = 0; tx < tilesX; ++tx)
                for (int y = 0; y <= last; ++y)
                    for (int x = 0; x <= last; ++x) {
                        const bool cornerX = x == 0 || x == last, cornerY = y == 0 || y == last;
                        if (!cornerX && !cornerY) continue;
                        int sx, sy;
                        if (cornerX && cornerY) sx = x == 0 ? n : 1, sy = y == 0 ? n : 1;
                        else if (cornerY) sx = last - x, sy = y == 0 ? 1 : n;
                        else sx = x == 0 ? 1 : n, sy = last - y;
                        const int ox = tx * (n + 2), oy = ty * (n + 2);
                        if (texel(ox + x, oy + y) != texel(ox + sx, oy + sy)) ++mismatches;
                    }
        return mismatches;
    }

    Math::vec3 ProbeOffset(uint32_t v) {
        Engine::ReadbackBuffer readback;
        const uint8_t* bytes = readback.ReadBack(m_pass->Volume(v).Offsets());
        uint16_t half[4];
        std::memcpy(half, bytes, 8);
        return {Engine::HalfToFloat(half[0]), Engine::HalfToFloat(half[1]), Engine::HalfToFloat(half[2])};
    }

    std::unique_ptr<ddgi::DDGIPass> m_pass;
    uint32_t m_frame = 0;
};

// Walls of albedo 0.5 glowing with radiance 0.5: each wall sends out its glow plus half of what
// reaches it, so the radiance everywhere inside settles at L = 0.5 + 0.5 L = 1, and so does the
// cosine-weighted mean around every probe. A probe outside the box meets only the backs of its
// walls, which send nothing its way.
TEST_F(DDGIProbes, ProbesInALitClosedBoxConvergeAndAProbeBehindItsWallSeesNoLight) {
    AddBox({0, 0, 0}, 4.0f, true, 0.5f, 1.0f);
    ProbeVolumeDesc inside = SmallVolume({0, 0, 0}, 2, 2.0f);
    inside.hysteresis = 0.5f;
    ProbeVolumeDesc outside = SmallVolume({10, 0, 0}, 1, 2.0f);
    MakePass({inside, outside});
    Update(1);
    // The first frame takes its rays whole: only the glow, no bounce yet.
    for (const Math::vec3& e : ProbeIrradiance(m_pass->Volume(0))) EXPECT_NEAR(e.x, 0.5f, 0.03f);
    Update(79);
    for (const Math::vec3& e : ProbeIrradiance(m_pass->Volume(0))) {
        EXPECT_NEAR(e.x, 1.0f, 0.05f);
        EXPECT_NEAR(e.y, e.x, 1e-3f);
        EXPECT_NEAR(e.z, e.x, 1e-3f);
    }
    const std::vector<Math::vec3> behind = ProbeIrradiance(m_pass->Volume(1));
    ASSERT_EQ(behind.size(), 1u);
    EXPECT_LT(behind[0].x + behind[0].y + behind[0].z, 1e-4f);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// A probe at the origin inside a solid block (normals outwards) from x = -0.2 to 0.8: most of its
// rays leave through the backs of the block's faces, so relocation moves it out, past the nearest
// face, and no further than the limit of 0.45 spacings.
TEST_F(DDGIProbes, RelocationMovesAProbeOutOfAWall) {
    AddBox({0.3f, 0, 0}, 0.5f, false, 0.5f, 0.0f);
    ProbeVolumeDesc d = SmallVolume({0, 0, 0}, 1, 4.0f);
    d.minFrontFaceDistance = 0.5f;
    MakePass({d});
    Update(4);
    const Math::vec3 offset = ProbeOffset(0);
    const Math::vec3 p = offset;  // the grid position is the origin
    const bool inside = p.x > -0.2f && p.x < 0.8f && std::abs(p.y) < 0.5f && std::abs(p.z) < 0.5f;
    EXPECT_FALSE(inside) << "probe still inside at " << p.x << ", " << p.y << ", " << p.z;
    for (int a = 0; a < 3; ++a) EXPECT_LE(std::abs(offset[a]), 0.45f * 4.0f);
    EXPECT_LT(p.x, -0.2f) << "the nearest way out is through the face at x = -0.2";
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// With GI mode 1 the frame rebuilds the structures and updates the probes before the main draw,
// the model draw binds the volumes, and under an open sky the probe light matches the ambient
// light it replaces.
TEST_F(DDGIProbes, GIMode1UpdatesTheProbesAndLightsTheModels) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {0.5f, 0.5f, 0.5f, 1}}});
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.TaaEnable = false; });
    Render(0);
    const Rgba8 ambientLit = Pixel(FinalImage(), kSize / 2, kSize / 2);

    renderer->BuildRaytracingScene(ModelGpus(), {});
    ASSERT_NE(renderer->GetDDGIPass(), nullptr);
    ProbeVolumeDesc d = SmallVolume({0, 0, 0}, 2, 4.0f);
    d.hysteresis = 0.0f;
    d.brightnessThreshold = 10.0f;
    ASSERT_TRUE(renderer->GetDDGIPass()->SetVolumeDescs({d}));
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.config.GI_Mode = 1; });
    for (uint32_t i = 1; i <= 4; ++i) Render(i);
    using Names = std::vector<std::string>;
    EXPECT_EQ(renderer->GetPassLog().Names(), (Names{"UpdateRayTracingScene", "ProbeVolumeUpdate", "Main Draw", "RenderModel",
                                                     "Resolve", "ResolveDepth", "Bloom", "FinalCopy", "OutputCopy"}));
    const Engine::Shared::ModelFrameConstants& bound = renderer->GetModelPass().FrameConstants();
    EXPECT_NE(bound.ddgiVolumes.Value(), 0u);
    EXPECT_EQ(bound.volumeSelect, 1u);
    const Rgba8 probeLit = Pixel(FinalImage(), kSize / 2, kSize / 2);

    // The probes see sky above and the quad's back below: their tiles vary, and every border
    // texel repeats the interior texel across its edge.
    ddgi::DDGIVolume& volume = renderer->GetDDGIPass()->Volume(0);
    EXPECT_EQ(BorderMismatches(volume.Irradiance(), 4, 2, 6), 0);
    EXPECT_EQ(BorderMismatches(volume.Distance(), 4, 2, 12), 0);
    const std::vector<Math::vec3> probes = ProbeIrradiance(volume);
    float hi = 0;
    for (const Math::vec3& e : probes) hi = std::max(hi, e.x);
    EXPECT_GT(hi, 0.0f);
    EXPECT_GT(probeLit.r, 0);
    EXPECT_NEAR(probeLit.r, ambientLit.r, ambientLit.r * 0.2 + 2) << "probe light under an open sky";

    // Mode 2 (voxel GI, whose passes run instead) and mode 0 leave the probes alone and unbound.
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) { s.render.config.GI_Mode = 2; });
    Render(5);
    EXPECT_FALSE(renderer->GetPassLog().Contains("UpdateRayTracingScene"));
    EXPECT_FALSE(renderer->GetPassLog().Contains("ProbeVolumeUpdate"));
    EXPECT_EQ(renderer->GetModelPass().FrameConstants().ddgiVolumes.Value(), 0u);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The GI pipeline's description and tables over a scene of seven material ranges: one hit record
// per range in each frame's table, the frame-1 dispatch reading the second.
TEST_F(DDGIProbes, TheGIPipelineDescribesItselfAndItsTables) {
    std::vector<Quad> quads;
    for (int i = 0; i < 7; ++i) quads.push_back(Quad{{3.0f * i, 0, 0}, 1.0f});
    AddModel(quads);
    MakePass({SmallVolume({0, 0, 0}, 1, 2.0f)});
    const std::string pipeline = m_pass->DescribePipeline();
    for (const char* line : {"| Ray-tracing pipeline GI\n", "|  [0]: GIRaygenShader (ray generation)\n",
                             "|  [1]: GIMissShader (miss)\n", "|  [2]: GIShadowMissShader (miss)\n",
                             "|  [3]: GIClosestHitShader (closest hit)\n", "| [1]: Hit Group (GIHitGroup) triangles\n",
                             "|  [0]: Any Hit Import: [none]\n", "|  [1]: Closest Hit Import: GIClosestHitShader\n",
                             "|  [2]: Intersection Import: [none]\n", "|  [0]: Max Payload Size: 16 bytes\n",
                             "|  [1]: Max Attribute Size: 8 bytes\n", "| [3]: Local layout GeometryHitRecord, 48 bytes\n",
                             "|  [2]: +16 vertices (device address)\n", "|  [3]: +24 diffuseTexture (bindless index)\n",
                             "| [4]: Subobject to Exports Association (Subobject [3])\n", "|  [0]: GIHitGroup\n",
                             "| [5]: Global layout Global root signature, 40 bytes of push constants\n",
                             "|  [1]: +8 buffer address\n", "|  [3]: +20 descriptor table (bindless index)\n",
                             "|  [5]: +32 buffer address\n", "|  sampler s0\n", "|  [0]: Max Recursion Depth: 2\n"})
        EXPECT_NE(pipeline.find(line), std::string::npos) << line << "in\n" << pipeline;

    const uint32_t record = m_pass->HitGroupTable(0).Layout().recordSize;
    EXPECT_EQ(record % Device().Limits().shaderGroupHandleAlignment, 0u);
    EXPECT_GE(record, Device().Limits().shaderGroupHandleSize + 48);
    const std::string tables = m_pass->DescribeTables();
    for (const std::string name : {"HitGroupShaderTable: ", "HitGroupShaderTable1: "})
        EXPECT_NE(tables.find("|Shader table - " + name + std::to_string(record) + " | " + std::to_string(7 * record) + " bytes\n"),
                  std::string::npos) << tables;
    EXPECT_NE(tables.find("| [6]: GIHitGroup, "), std::string::npos);
    EXPECT_EQ(tables.find("| [7]: GIHitGroup, "), std::string::npos);
    EXPECT_NE(tables.find("|Shader table - MissShaderTable: "), std::string::npos);
    EXPECT_EQ(m_pass->HitGroupTable(1).Name(), "HitGroupShaderTable1");
    EXPECT_EQ(m_pass->HitGroupTable(1).RecordCount(), 7u);
    // Frame 1's records point at frame 1's vertex copy.
    Engine::Shared::GeometryHitRecord first0, first1;
    const uint32_t handle = Device().Limits().shaderGroupHandleSize;
    std::memcpy(&first0, m_pass->HitGroupTable(0).RecordBytes(0) + handle, sizeof(first0));
    std::memcpy(&first1, m_pass->HitGroupTable(1).RecordBytes(0) + handle, sizeof(first1));
    EXPECT_EQ(first1.vertices.Value() - first0.vertices.Value(), ModelGpus()[0]->GetVertexBuffer().CopySize());
    EXPECT_EQ(first0.vertices.Value(), ModelGpus()[0]->GetVertexBuffer().GpuVirtualAddress(0));
}

}  // namespace
}  // namespace RendererTest
