// Ray-traced ambient occlusion on the test device: what the traced occlusion holds for a corner
// and for open surfaces, the temporal pass's accumulation of a still scene, and the denoiser's
// respect for depth edges.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "RenderStage.h"
#include "renderer/passes/ReflectionPass.h"
#include "renderer/passes/RtaoPass.h"

namespace RendererTest {
namespace {

using ProjectTavrin::FrameSettings;

class RtaoGpu : public RenderStage {
protected:
    void SetUp() override {
        RenderStage::SetUp();
        if (IsSkipped()) return;
        if (!Core().IsRaytracingSupported()) GTEST_SKIP() << "no ray tracing on this device";
    }

    /// A wall across the back (z = -4) standing on a floor (y = -2): their corner runs along
    /// z = -4, y = -2, seen from the stage camera on +z.
    void BuildCorner() {
        Quad floor{{0, -2, 0}, 4.0f};
        floor.ground = true;
        AddModel({Quad{{0, 2, -4}, 4.0f}, floor});
        renderer->BuildRaytracingScene(ModelGpus(), {});
        ASSERT_NE(renderer->GetRtaoPass(), nullptr);
    }

    void Configure(bool temporal, bool denoise, int32_t samples, float distance) {
        renderer->Settings().Edit([=](FrameSettings& s) {
            s.render.TaaEnable = false;
            s.render.config.AO_Mode = 2;
            s.post.rtao.Temporal = temporal;
            s.post.rtao.Denoise = denoise;
            s.post.rtao.NumSamples = samples;
            s.post.rtao.Distance = distance;
        });
    }

    /// An 8-bit occlusion buffer as values 0 .. 1, row-major.
    std::vector<float> Read(Engine::ColorBuffer& buffer) {
        Engine::ReadbackBuffer readback;
        const uint8_t* bytes = readback.ReadBack(buffer);
        std::vector<float> values(size_t(buffer.Width()) * buffer.Height());
        for (uint32_t y = 0; y < buffer.Height(); ++y)
            for (uint32_t x = 0; x < buffer.Width(); ++x) values[y * buffer.Width() + x] = bytes[y * readback.RowPitch() + x] / 255.0f;
        return values;
    }
};

// Two thirds of the 64-pixel targets; the corner lies across row 32 of 42, the floor below it
// (nearer the camera further down), the wall above. Occlusion rays of 1.5 units: where wall and
// floor meet they find one or the other for about half their directions; the floor 4 units in
// front of the wall and the wall 4 units above the floor find nothing; the sky stays 1.
TEST_F(RtaoGpu, CornerIsDarkenedAndOpenSurfacesStayNearOne) {
    BuildCorner();
    Configure(false, false, 64, 1.5f);
    Render();
    ProjectTavrin::RtaoPass& rtao = *renderer->GetRtaoPass();
    ASSERT_EQ(rtao.Width(), 42u);
    ASSERT_EQ(rtao.Height(), 42u);
    EXPECT_TRUE(renderer->GetPassLog().Contains("AORaytracing"));
    EXPECT_EQ(renderer->LastPassResults().occlusionMap, rtao.Output().srvHandle.Gpu()) << "the raw trace without the temporal pass";
    const std::vector<float> ao = Read(rtao.Output());
    auto at = [&](int x, int y) { return ao[size_t(y) * 42 + x]; };
    float corner = 1.0f;
    for (int y = 30; y <= 34; ++y) corner = std::min(corner, at(21, y));
    EXPECT_LT(corner, 0.75f) << "the corner";
    EXPECT_GT(at(21, 40), 0.93f) << "the open floor";
    EXPECT_GT(at(21, 8), 0.93f) << "the open wall";
    EXPECT_EQ(at(0, 0), 1.0f) << "no surface";
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// A still scene traced with two rays a pixel: each frame alone is noisy along the corner; the
// temporal pass's result, frame after frame, strays less and less from the many-ray answer.
TEST_F(RtaoGpu, TemporalAccumulationReducesTheNoiseOfAStillScene) {
    BuildCorner();
    Configure(false, false, 256, 1.5f);
    Render(0);
    const std::vector<float> reference = Read(renderer->GetRtaoPass()->Output());

    Configure(true, false, 2, 1.5f);
    auto error = [&](const std::vector<float>& values) {
        double sum = 0;
        int count = 0;
        for (int y = 26; y <= 38; ++y)
            for (int x = 8; x <= 34; ++x, ++count) sum += std::pow(values[size_t(y) * 42 + x] - reference[size_t(y) * 42 + x], 2.0);
        return std::sqrt(sum / count);
    };
    std::vector<double> errors;
    for (uint32_t frame = 1; frame <= 16; ++frame) {
        Render(frame);
        errors.push_back(error(Read(renderer->GetRtaoPass()->Result())));
    }
    EXPECT_EQ(renderer->LastPassResults().occlusionMap, renderer->GetRtaoPass()->Result().srvHandle.Gpu());
    EXPECT_TRUE(renderer->GetPassLog().Contains("AOTemporal"));
    EXPECT_GT(errors.front(), 0.05) << "two rays a pixel are noisy";
    EXPECT_LT(errors.back(), errors.front() * 0.5) << "after 16 frames: " << errors.back() << " against " << errors.front();
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The denoiser blurs within a surface and not across a depth step: occlusion that alternates
// between 0.2 and 0.8 on two surfaces at different depths comes out near 0.5 inside each, while
// the columns beside the step keep their surface's own level (0.5 on one side, 1.0 on the other).
TEST_F(RtaoGpu, DenoiserSmoothsWithinASurfaceAndKeepsADepthEdge) {
    BuildCorner();
    Configure(false, true, 1, 1.5f);
    Render();
    ProjectTavrin::RtaoPass& rtao = *renderer->GetRtaoPass();
    const uint32_t w = rtao.Width(), h = rtao.Height();
    // Left half: depth 0.1, occlusion alternating 0.2 / 0.8; right half: depth 0.4, occlusion 1.
    std::vector<uint8_t> ao(size_t(w) * h);
    std::vector<uint16_t> depth(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const bool left = x < w / 2;
            ao[y * w + x] = left ? ((x + y) % 2 ? 204 : 51) : 255;
            depth[y * w + x] = left ? 6554 : 26214;
        }
    auto upload = [&](Engine::ColorBuffer& target, const void* data, uint32_t texelBytes) {
        using namespace Engine::Platform;
        const SubresourceFootprint fp = Device().GetCopyableFootprint(target.GetResource()->Desc(), 0);
        auto buffer = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(fp.totalBytes), ResourceState::GenericRead);
        auto* bytes = static_cast<uint8_t*>(buffer->Map());
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(bytes + y * fp.rowPitch, static_cast<const uint8_t*>(data) + size_t(y) * w * texelBytes, size_t(w) * texelBytes);
        return std::make_pair(buffer, fp);
    };
    auto [aoBuffer, aoFootprint] = upload(rtao.Output(), ao.data(), 1);
    auto [depthBuffer, depthFootprint] = upload(rtao.Depth(rtao.Parity()), depth.data(), 2);

    Core().ResetCommandList();
    auto& list = *Core().GetCommandList();
    list.SetDescriptorHeaps(Core().GetHeap(Engine::Platform::DescriptorHeapType::CbvSrvUav));
    rtao.Output().TransitionTo(list, Engine::Platform::ResourceState::CopyDest);
    rtao.Depth(rtao.Parity()).TransitionTo(list, Engine::Platform::ResourceState::CopyDest);
    list.CopyBufferToTexture(*rtao.Output().GetResource(), 0, *aoBuffer, aoFootprint);
    list.CopyBufferToTexture(*rtao.Depth(rtao.Parity()).GetResource(), 0, *depthBuffer, depthFootprint);
    ProjectTavrin::RtaoParams params;
    params.Temporal = false;
    rtao.Denoise(list, params);
    SubmitAndWait();

    const std::vector<float> out = Read(rtao.Output());
    const uint32_t edge = w / 2;
    for (uint32_t y = 4; y < h - 4; ++y) {
        EXPECT_NEAR(out[y * w + 8], 0.5f, 0.08f) << "inside the noisy surface, row " << y;
        EXPECT_NEAR(out[y * w + edge - 1], 0.5f, 0.12f) << "beside the edge on the near side, row " << y;
        EXPECT_EQ(out[y * w + edge], 1.0f) << "beside the edge on the far side, row " << y;
    }
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The frame's pass log with the traced occlusion (temporal and denoise on, their defaults), the
// traced reflections with their temporal pass, and voxel GI: the scene update, the traced passes
// and the voxel passes come before the main draw, in frame order.
TEST_F(RtaoGpu, PassLogListsTheTracedAndVoxelPassesInFrameOrder) {
    BuildCorner();
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.config.AO_Mode = 2;
        s.render.config.SR_Mode = 1;
        s.post.reflection.Temporal = true;
        s.render.config.GI_Mode = ProjectTavrin::kGiVoxels;
    });
    Render();
    std::vector<std::string> names = renderer->GetPassLog().Names();
    const auto mainDraw = std::find(names.begin(), names.end(), "Main Draw");
    ASSERT_NE(mainDraw, names.end());
    std::vector<std::string> before(names.begin(), mainDraw);
    std::vector<std::string> expected = {"UpdateRayTracingScene", "AORaytracing", "AOTemporal", "AODenoise", "SRRaytracing",
                                         "SRTemporal"};
    if (renderer->GetVoxelGiPass()) expected.insert(expected.end(), {"Voxelization", "VCTMIP"});
    EXPECT_EQ(before, expected);
    EXPECT_EQ(renderer->LastPassResults().occlusionMap, renderer->GetRtaoPass()->Result().srvHandle.Gpu());
    EXPECT_EQ(renderer->LastPassResults().specularReflectionMap, renderer->GetReflectionPass()->Result().srvHandle.Gpu());
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace RendererTest
