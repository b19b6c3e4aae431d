#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "CompiledShaders.h"
#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/ReadbackBuffer.h"
#include "GpuTest.h"
#include "shaders/ShaderLayouts.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using DepthClearAndStateTest = GpuTest;

constexpr uint32_t kSize = 8;

float DepthAt(const std::vector<uint8_t>& bytes, uint32_t x, uint32_t y) {
    float d;
    std::memcpy(&d, bytes.data() + (y * kSize + x) * sizeof(float), sizeof(float));
    return d;
}

bool Inside(const Rect& r, uint32_t x, uint32_t y) {
    return static_cast<int32_t>(x) >= r.left && static_cast<int32_t>(x) < r.right && static_cast<int32_t>(y) >= r.top &&
           static_cast<int32_t>(y) < r.bottom;
}

// A two-slice depth array (as for shadow cascades): a view of both slices clears them to 1, a
// view of slice 1 clears one rectangle to 0.25, a view of slice 0 clears a rectangle, one that
// runs past the edge (clipped) and an empty one to 0.5. Each slice keeps only its own clears.
TEST_F(DepthClearAndStateTest, RectangleClearsReachOnlyTheirRectanglesAndTheViewsSlices) {
    auto depth = Device().CreateCommittedResource(
        HeapType::Default, ResourceDesc::Tex2D(Format::D32_FLOAT, kSize, kSize, 2, 1, 1, ResourceFlags::AllowDepthStencil),
        ResourceState::DepthWrite);
    depth->SetName(u"CascadeDepth");
    DescriptorHandle both = AllocateDescriptor(DescriptorHeapType::Dsv), slice0 = AllocateDescriptor(DescriptorHeapType::Dsv),
                     slice1 = AllocateDescriptor(DescriptorHeapType::Dsv);
    DsvDesc dsv;
    dsv.dimension = ViewDimension::Texture2DArray;
    dsv.arraySize = 2;
    Device().CreateDepthStencilView(depth.get(), &dsv, both.Cpu());
    dsv.arraySize = 1;
    Device().CreateDepthStencilView(depth.get(), &dsv, slice0.Cpu());
    dsv.firstArraySlice = 1;
    Device().CreateDepthStencilView(depth.get(), &dsv, slice1.Cpu());
    dsv.arraySize = 2;  // slices 1 and 2 of a two-slice texture
    const DescriptorHandle bad = AllocateDescriptor(DescriptorHeapType::Dsv);
    EXPECT_THROW(Device().CreateDepthStencilView(depth.get(), &dsv, bad.Cpu()), std::invalid_argument);

    const Rect rect1{2, 2, 6, 4};
    const Rect rects0[] = {{0, 0, 2, 2}, {6, 6, 20, 20}, {3, 3, 3, 5}};
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    list.ClearDepthStencilView(both.Cpu(), 1.0f, 0);
    list.ClearDepthStencilView(slice1.Cpu(), 0.25f, 0, std::span(&rect1, 1));
    list.ClearDepthStencilView(slice0.Cpu(), 0.5f, 0, rects0);
    const ResourceBarrier toCopy = ResourceBarrier::Transition(depth.get(), ResourceState::DepthWrite, ResourceState::CopySource);
    list.ResourceBarrier(std::span(&toCopy, 1));
    SubmitAndWait();

    const std::vector<uint8_t> s0 = ReadSubresource(*depth, CalcSubresource(0, 0, 1));
    const std::vector<uint8_t> s1 = ReadSubresource(*depth, CalcSubresource(0, 1, 1));
    ASSERT_EQ(s0.size(), kSize * kSize * sizeof(float));
    ASSERT_EQ(s1.size(), kSize * kSize * sizeof(float));
    for (uint32_t y = 0; y < kSize; ++y)
        for (uint32_t x = 0; x < kSize; ++x) {
            const bool in0 = Inside(rects0[0], x, y) || Inside(rects0[1], x, y);
            EXPECT_FLOAT_EQ(DepthAt(s0, x, y), in0 ? 0.5f : 1.0f) << "slice 0 at " << x << "," << y;
            EXPECT_FLOAT_EQ(DepthAt(s1, x, y), Inside(rect1, x, y) ? 0.25f : 1.0f) << "slice 1 at " << x << "," << y;
        }
}

// ClearState drops the bindings of the open list: root arguments set before it are gone (the
// colour constants read as zero), and new bindings work as after a Reset.
TEST_F(DepthClearAndStateTest, ClearStateForgetsRootArgumentsAndTargets) {
    ColorBuffer first, second;
    first.Create(u"FirstTarget", 4, 4, Format::R8G8B8A8_UNORM);
    second.Create(u"SecondTarget", 4, 4, Format::R8G8B8A8_UNORM);
    auto root = Device().CreateRootSignature(ShaderLayouts::FlatColor());
    GraphicsPipelineDesc desc;
    desc.rootSignature = root.get();
    desc.vs.code = Shaders::FlatColor_vert();
    desc.ps.code = Shaders::FlatColor_frag();
    desc.inputLayout = {InputElement{0, Format::R32G32B32_FLOAT, 0, 0, false}};
    desc.inputStrides = {12};
    desc.cullMode = CullMode::None;
    desc.rtvFormats = {Format::R8G8B8A8_UNORM};
    auto pipeline = Device().CreateGraphicsPipelineState(desc);
    const float vertices[] = {-1, -1, 0, 3, -1, 0, -1, 3, 0};  // one triangle over the whole target
    auto vb = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(sizeof(vertices)), ResourceState::GenericRead);
    std::memcpy(vb->Map(), vertices, sizeof(vertices));
    const VertexBufferView vbv{vb.get(), 0, sizeof(vertices), 12};
    const Viewport viewport{0, 0, 4, 4, 0, 1};
    const Rect scissor{0, 0, 4, 4};
    const float grey[4] = {0.5f, 0.5f, 0.5f, 0.5f}, red[4] = {1, 0, 0, 1};

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    first.TransitionTo(list, ResourceState::RenderTarget);
    second.TransitionTo(list, ResourceState::RenderTarget);
    list.ClearRenderTargetView(first.rtvHandle.Cpu(), grey);
    list.ClearRenderTargetView(second.rtvHandle.Cpu(), grey);
    const CpuDescriptor firstRtv = first.rtvHandle.Cpu(), secondRtv = second.rtvHandle.Cpu();
    list.OMSetRenderTargets(std::span(&firstRtv, 1), nullptr);
    list.SetGraphicsRootSignature(*root);
    list.SetGraphicsRoot32BitConstants(0, 4, red, 0);
    list.ClearState(pipeline.get());
    list.OMSetRenderTargets(std::span(&secondRtv, 1), nullptr);
    list.RSSetViewports(std::span(&viewport, 1));
    list.RSSetScissorRects(std::span(&scissor, 1));
    list.SetGraphicsRootSignature(*root);
    list.IASetVertexBuffers(0, std::span(&vbv, 1));
    list.DrawInstanced(3, 1, 0, 0);
    SubmitAndWait();

    ReadbackBuffer readFirst, readSecond;
    const uint8_t* a = readFirst.ReadBack(first);
    const uint8_t* b = readSecond.ReadBack(second);
    EXPECT_EQ(a[0], 128) << "the first target was unbound by ClearState and stays as cleared";
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(b[i], 0) << "channel " << i << ": the red constants were dropped";
}

}  // namespace
}  // namespace TavrinTest
