// Graphics pipelines beyond a vertex and a pixel stage: draws that bind no render target and no
// depth (their pixel shader writes storage images only) and a geometry stage between the two.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/ReadbackBuffer.h"
#include "GpuTest.h"
#include "TestShaders.h"
#include "shaders/tests/TestShaderLayouts.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using GeometryStageTest = GpuTest;

uint32_t CountAt(const ReadbackBuffer& readback, const uint8_t* bytes, uint32_t x, uint32_t y) {
    uint32_t value = 0;
    std::memcpy(&value, bytes + size_t(y) * readback.RowPitch() + x * 4, 4);
    return value;
}

// With neither colour nor depth bound a draw still rasterises, over the scissor rectangle, once
// per pixel and instance: the pixel shader's counts are 2 inside the rectangle and 0 outside.
TEST_F(GeometryStageTest, DrawWithoutAttachmentsRasterisesTheScissorRectangle) {
    constexpr uint32_t kSize = 8;
    ColorBuffer counts;
    counts.Create(u"FragmentCounts", kSize, kSize, Format::R32_UINT);
    auto root = Device().CreateRootSignature(TavrinTest::ShaderLayouts::CountFragments());
    GraphicsPipelineDesc desc;
    desc.rootSignature = root.get();
    desc.vs.code = Shaders::CountFragments_vert();
    desc.ps.code = Shaders::CountFragments_frag();
    desc.cullMode = CullMode::None;
    auto pipeline = Device().CreateGraphicsPipelineState(desc);

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    list.SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
    counts.TransitionTo(list, ResourceState::UnorderedAccess);
    const uint32_t zero[4] = {};
    list.ClearUnorderedAccessViewUint(*counts.GetResource(), zero);
    const ResourceBarrier cleared = ResourceBarrier::UAV(counts.GetResource());
    list.ResourceBarrier(std::span(&cleared, 1));
    list.OMSetRenderTargets({}, nullptr);
    list.SetPipelineState(*pipeline);
    list.SetGraphicsRootSignature(*root);
    list.SetGraphicsRootDescriptorTable(0, counts.uavHandle.Gpu());
    const Viewport viewport{0, 0, float(kSize), float(kSize), 0, 1};
    const Rect scissor{1, 2, 6, 5};
    list.RSSetViewports(std::span(&viewport, 1));
    list.RSSetScissorRects(std::span(&scissor, 1));
    list.DrawInstanced(3, 2, 0, 0);
    SubmitAndWait();

    ReadbackBuffer readback;
    const uint8_t* bytes = readback.ReadBack(counts);
    for (uint32_t y = 0; y < kSize; ++y)
        for (uint32_t x = 0; x < kSize; ++x) {
            const bool inside = x >= 1 && x < 6 && y >= 2 && y < 5;
            EXPECT_EQ(CountAt(readback, bytes, x, y), inside ? 2u : 0u) << "pixel " << x << "," << y;
        }
}

// Such a draw has no attachment to take its area from; before any scissor it is refused rather
// than recorded over an undefined area.
TEST_F(GeometryStageTest, DrawWithoutAttachmentsOrScissorIsRefused) {
    auto root = Device().CreateRootSignature(TavrinTest::ShaderLayouts::CountFragments());
    GraphicsPipelineDesc desc;
    desc.rootSignature = root.get();
    desc.vs.code = Shaders::CountFragments_vert();
    desc.ps.code = Shaders::CountFragments_frag();
    auto pipeline = Device().CreateGraphicsPipelineState(desc);
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    list.SetPipelineState(*pipeline);
    list.SetGraphicsRootSignature(*root);
    EXPECT_THROW(list.DrawInstanced(3, 1, 0, 0), std::logic_error);
}

// The geometry stage runs between the vertex and pixel stages and may emit more than it gets:
// the one triangle drawn comes out red where it was and green where the stage moved its copy.
TEST_F(GeometryStageTest, GeometryStageEmitsEachTriangleAndItsCopy) {
    if (!Device().GeometryShaderSupported()) GTEST_SKIP() << "no geometry shaders on this device";
    constexpr uint32_t kWidth = 16, kHeight = 8;
    ColorBuffer target;
    target.Create(u"MirrorTarget", kWidth, kHeight, Format::R8G8B8A8_UNORM);
    auto root = Device().CreateRootSignature(TavrinTest::ShaderLayouts::MirrorTriangle());
    GraphicsPipelineDesc desc;
    desc.rootSignature = root.get();
    desc.vs.code = Shaders::MirrorTriangle_vert();
    desc.gs.code = Shaders::MirrorTriangle_geom();
    desc.ps.code = Shaders::MirrorTriangle_frag();
    desc.cullMode = CullMode::None;
    desc.rtvFormats = {Format::R8G8B8A8_UNORM};
    auto pipeline = Device().CreateGraphicsPipelineState(desc);

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    target.TransitionTo(list, ResourceState::RenderTarget);
    const float black[4] = {0, 0, 0, 1};
    list.ClearRenderTargetView(target.rtvHandle.Cpu(), black);
    const CpuDescriptor rtv = target.rtvHandle.Cpu();
    list.OMSetRenderTargets(std::span(&rtv, 1), nullptr);
    list.SetPipelineState(*pipeline);
    list.SetGraphicsRootSignature(*root);
    const float shift = 1.0f;  // half the viewport
    list.SetGraphicsRoot32BitConstants(0, 1, &shift, 0);
    const Viewport viewport{0, 0, float(kWidth), float(kHeight), 0, 1};
    const Rect scissor{0, 0, int32_t(kWidth), int32_t(kHeight)};
    list.RSSetViewports(std::span(&viewport, 1));
    list.RSSetScissorRects(std::span(&scissor, 1));
    list.DrawInstanced(3, 1, 0, 0);
    SubmitAndWait();

    ReadbackBuffer readback;
    const uint8_t* bytes = readback.ReadBack(target);
    auto pixel = [&](uint32_t x, uint32_t y) { return bytes + size_t(y) * readback.RowPitch() + x * 4; };
    // The triangle spans clip x -0.9 .. -0.1 at its base: pixels 0.8 .. 7.2 of 16.
    const uint8_t* original = pixel(4, 5);
    const uint8_t* copy = pixel(12, 5);
    EXPECT_EQ(original[0], 255);
    EXPECT_EQ(original[1], 0);
    EXPECT_EQ(copy[0], 0);
    EXPECT_EQ(copy[1], 255);
    EXPECT_EQ(pixel(8, 5)[0] + pixel(8, 5)[1], 0) << "nothing between the two";
    EXPECT_EQ(pixel(4, 0)[0], 0) << "nothing above the triangle's apex";
}

}  // namespace
}  // namespace TavrinTest
