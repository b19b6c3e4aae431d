// Drawing into the tiles of one atlas through per-tile viewports, as the shadow cascades do: one
// depth (and colour) target bound once, the viewport moved to each tile, each tile's rectangle
// cleared before its draw, one scissor over the tiles in use.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "CompiledShaders.h"
#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "Engine/GpuResource/ReadbackBuffer.h"
#include "GpuTest.h"
#include "shaders/ShaderLayouts.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using AtlasViewportTest = GpuTest;

constexpr uint32_t kTile = 8;
constexpr uint32_t kTiles = 4;

// Three tiles of a four-tile atlas drawn: each gets a quad over the upper half of clip space at
// its own depth and colour (drawn twice, the second time farther, so the depth test must keep
// the first). Tile 1 was drawn with a stale value first and cleared again before its own draw.
// Every tile holds its draw in its top rows and the clear in its bottom rows; the fourth tile,
// outside the scissor, keeps what was there before, and nothing spills into a neighbour.
TEST_F(AtlasViewportTest, EachTileTakesOnlyItsOwnDrawAndClear) {
    ColorBuffer color;
    color.Create(u"AtlasColor", kTile * kTiles, kTile, Format::R8G8B8A8_UNORM);
    DepthBuffer depth;
    depth.Create(u"AtlasDepth", kTile * kTiles, kTile, Format::D32_FLOAT);

    auto root = Device().CreateRootSignature(Engine::ShaderLayouts::FlatColor());
    GraphicsPipelineDesc desc;
    desc.rootSignature = root.get();
    desc.vs.code = Shaders::FlatColor_vert();
    desc.ps.code = Shaders::FlatColor_frag();
    desc.inputLayout = {InputElement{0, Format::R32G32B32_FLOAT, 0, 0, false}};
    desc.inputStrides = {12};
    desc.cullMode = CullMode::None;
    desc.depthEnable = true;
    desc.depthFunc = CompareFunc::LessEqual;
    desc.rtvFormats = {Format::R8G8B8A8_UNORM};
    desc.dsvFormat = Format::D32_FLOAT;
    auto pipeline = Device().CreateGraphicsPipelineState(desc);

    // Upper half of clip space, a little wider than the clip volume on three sides.
    const float nearQuad[] = {-2, 0, 0, 2, 0, 0, 2, 2, 0, -2, 0, 0, 2, 2, 0, -2, 2, 0};
    auto vb = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(sizeof(nearQuad)), ResourceState::GenericRead);
    std::memcpy(vb->Map(), nearQuad, sizeof(nearQuad));
    const VertexBufferView vbv{vb.get(), 0, sizeof(nearQuad), 12};

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    color.TransitionTo(list, ResourceState::RenderTarget);
    depth.TransitionTo(list, ResourceState::DepthWrite);
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
    list.ClearRenderTargetView(color.rtvHandle.Cpu(), grey);
    list.ClearDepthStencilView(depth.dsvHandle.Cpu(), 0.0f, 0);  // "before": everything passes nothing
    const CpuDescriptor rtv = color.rtvHandle.Cpu(), dsv = depth.dsvHandle.Cpu();
    list.SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
    list.SetGraphicsRootSignature(*root);
    list.SetPipelineState(*pipeline);
    list.IASetVertexBuffers(0, std::span(&vbv, 1));
    const Rect scissor{0, 0, int32_t(kTile * 3), int32_t(kTile)};
    list.RSSetScissorRects(std::span(&scissor, 1));
    list.OMSetRenderTargets(std::span(&rtv, 1), &dsv);

    auto drawTile = [&](uint32_t tile, float r, float depthValue) {
        const Viewport viewport{float(kTile * tile), 0, float(kTile), float(kTile), depthValue, depthValue};
        list.RSSetViewports(std::span(&viewport, 1));
        const float c[4] = {r, 0, 1 - r, 1};
        list.SetGraphicsRoot32BitConstants(0, 4, c, 0);
        list.DrawInstanced(6, 1, 0, 0);
    };
    auto clearTile = [&](uint32_t tile) {
        const Rect rect{int32_t(kTile * tile), 0, int32_t(kTile * (tile + 1)), int32_t(kTile)};
        list.ClearDepthStencilView(dsv, 1.0f, 0, std::span(&rect, 1));
    };
    const float red[kTiles] = {0.0f, 0.4f, 1.0f};
    clearTile(1);
    drawTile(1, 0.8f, 0.1f);  // stale: cleared away below, its colour overdrawn
    for (uint32_t tile = 0; tile < 3; ++tile) {
        clearTile(tile);
        drawTile(tile, red[tile], 0.25f + 0.1f * tile);
        drawTile(tile, 0.6f, 0.9f);  // farther: fails the depth test
    }
    drawTile(3, 0.2f, 0.0f);  // would pass the depth test; the scissor keeps it out
    color.TransitionTo(list, ResourceState::CopySource);
    depth.TransitionTo(list, ResourceState::CopySource);
    SubmitAndWait();

    ReadbackBuffer colorRead;
    const uint8_t* c = colorRead.ReadBack(color);
    const std::vector<uint8_t> d = ReadSubresource(*depth.GetResource(), 0);
    ASSERT_EQ(d.size(), kTile * kTiles * kTile * sizeof(float));
    for (uint32_t y = 0; y < kTile; ++y)
        for (uint32_t x = 0; x < kTile * kTiles; ++x) {
            const uint32_t tile = x / kTile;
            const bool top = y < kTile / 2;
            float z;
            std::memcpy(&z, d.data() + (y * kTile * kTiles + x) * 4, 4);
            const uint8_t* p = c + y * colorRead.RowPitch() + x * 4;
            if (tile == 3) {
                EXPECT_EQ(z, 0.0f) << x << "," << y;
                EXPECT_EQ(p[0], 128) << x << "," << y;
                continue;
            }
            EXPECT_FLOAT_EQ(z, top ? 0.25f + 0.1f * tile : 1.0f) << x << "," << y;
            EXPECT_EQ(p[0], top ? uint8_t(red[tile] * 255 + 0.5f) : 128) << x << "," << y;
        }
}

// The pipelines have one viewport; a list of several is a fault of the caller, not a draw that
// silently uses the first.
TEST_F(AtlasViewportTest, MoreThanOneViewportOrScissorIsRefused) {
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    const Viewport two[2] = {{0, 0, 8, 8, 0, 1}, {8, 0, 8, 8, 0, 1}};
    const Rect rects[2] = {{0, 0, 8, 8}, {8, 0, 16, 8}};
    EXPECT_THROW(list.RSSetViewports(two), std::invalid_argument);
    EXPECT_THROW(list.RSSetScissorRects(rects), std::invalid_argument);
    SubmitAndWait();
}

}  // namespace
}  // namespace TavrinTest
