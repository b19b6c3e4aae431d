#include <gtest/gtest.h>

#include <cstring>

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

using GraphicsPipelineTest = GpuTest;

// Two indexed draws into an 8 x 8 target with a depth buffer: a near quad over the upper-left
// quarter (clip-space y up, so "upper" is the first rows of the image) and a far full-screen
// quad. The depth test keeps the near colour in the quarter and the far colour elsewhere.
TEST_F(GraphicsPipelineTest, IndexedDrawsWithDepthTestAndRootConstants) {
    ColorBuffer color;
    color.Create(u"DrawTarget", 8, 8, Format::R8G8B8A8_UNORM);
    DepthBuffer depth;
    depth.Create(u"DrawDepth", 8, 8, Format::D32_FLOAT);

    auto root = Device().CreateRootSignature(Engine::ShaderLayouts::FlatColor());
    GraphicsPipelineDesc desc;
    desc.rootSignature = root.get();
    desc.vs.code = Shaders::FlatColor_vert();
    desc.ps.code = Shaders::FlatColor_frag();
    desc.inputLayout = {InputElement{0, Format::R32G32B32_FLOAT, 0, 0, false}};
    desc.inputStrides = {12};
    desc.cullMode = CullMode::None;
    desc.depthEnable = true;
    desc.rtvFormats = {Format::R8G8B8A8_UNORM};
    desc.dsvFormat = Format::D32_FLOAT;
    auto pipeline = Device().CreateGraphicsPipelineState(desc);

    const float vertices[] = {
        -1, 0, 0.25f, 0, 0, 0.25f, 0, 1, 0.25f, -1, 1, 0.25f,  // near: x in [-1,0], y in [0,1]
        -1, -1, 0.75f, 1, -1, 0.75f, 1, 1, 0.75f, -1, 1, 0.75f,  // far: everything
    };
    const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
    auto vb = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(sizeof(vertices)), ResourceState::GenericRead);
    auto ib = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(sizeof(indices)), ResourceState::GenericRead);
    std::memcpy(vb->Map(), vertices, sizeof(vertices));
    std::memcpy(ib->Map(), indices, sizeof(indices));

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    color.TransitionTo(list, ResourceState::RenderTarget);
    depth.TransitionTo(list, ResourceState::DepthWrite);
    const float black[4] = {0, 0, 0, 0};
    list.ClearRenderTargetView(color.rtvHandle.Cpu(), black);
    list.ClearDepthStencilView(depth.dsvHandle.Cpu(), 1.0f, 0);
    const CpuDescriptor rtv = color.rtvHandle.Cpu(), dsv = depth.dsvHandle.Cpu();
    list.OMSetRenderTargets(std::span(&rtv, 1), &dsv);
    const Viewport viewport{0, 0, 8, 8, 0, 1};
    const Rect scissor{0, 0, 8, 8};
    list.RSSetViewports(std::span(&viewport, 1));
    list.RSSetScissorRects(std::span(&scissor, 1));
    list.SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
    list.SetGraphicsRootSignature(*root);
    list.SetPipelineState(*pipeline);
    const VertexBufferView vbv{vb.get(), 0, sizeof(vertices), 12};
    list.IASetVertexBuffers(0, std::span(&vbv, 1));
    list.IASetIndexBuffer(IndexBufferView{ib.get(), 0, sizeof(indices), Format::R16_UINT});
    const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1};
    list.SetGraphicsRoot32BitConstants(0, 4, red, 0);
    list.DrawIndexedInstanced(6, 1, 0, 0, 0);
    list.SetGraphicsRoot32BitConstants(0, 4, green, 0);
    list.DrawIndexedInstanced(6, 1, 0, 4, 0);
    SubmitAndWait();

    ReadbackBuffer readback;
    const uint8_t* bytes = readback.ReadBack(color);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) {
            const uint8_t* p = bytes + y * readback.RowPitch() + x * 4;
            const bool nearQuad = x < 4 && y < 4;
            EXPECT_EQ(p[0], nearQuad ? 255 : 0) << x << "," << y;
            EXPECT_EQ(p[1], nearQuad ? 0 : 255) << x << "," << y;
        }
}

// The window path on a surface without a window: frames are copied into the swap chain's
// images and presented; resizing re-creates the chain.
TEST_F(GraphicsPipelineTest, SwapChainPresentsOnAHeadlessSurface) {
    const uint64_t surface = Device().CreateHeadlessSurface();
    if (!surface) GTEST_SKIP() << "VK_EXT_headless_surface is not available";
    Core().SetSurface(surface, 16, 12);
    ASSERT_NE(Core().GetSwapchain(), nullptr);
    const Format format = Core().GetSwapchain()->ImageFormat();
    EXPECT_TRUE(format == Format::R8G8B8A8_UNORM || format == Format::B8G8R8A8_UNORM) << FormatName(format);
    for (int frame = 0; frame < 40; ++frame) {
        if (frame == 20) Core().SetLogicalSize(24, 10);
        Core().ResetCommandList();
        CommandList& list = *Core().GetCommandList();
        const ResourceBarrier toTarget =
            ResourceBarrier::Transition(Core().GetRenderTarget(), ResourceState::Present, ResourceState::RenderTarget);
        list.ResourceBarrier(std::span(&toTarget, 1));
        const float color[4] = {0.2f, 0.4f, 0.6f, 1};
        list.ClearRenderTargetView(Core().GetRenderTargetView(), color);
        const ResourceBarrier toPresent =
            ResourceBarrier::Transition(Core().GetRenderTarget(), ResourceState::RenderTarget, ResourceState::Present);
        list.ResourceBarrier(std::span(&toPresent, 1));
        Core().Present();
        ASSERT_FALSE(Core().IsDeviceLost());
    }
    EXPECT_EQ(Core().GetRenderTarget()->Desc().width, 24u);
    Core().SetHeadlessOutput(16, 16);
    EXPECT_EQ(Core().GetSwapchain(), nullptr);
    Device().DestroySurface(surface);
}

}  // namespace
}  // namespace TavrinTest
