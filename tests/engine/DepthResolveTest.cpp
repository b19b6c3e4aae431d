#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "CompiledShaders.h"
#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "GpuTest.h"
#include "shaders/ShaderLayouts.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using DepthResolveTest = GpuTest;

constexpr uint32_t kSize = 8;
constexpr float kNear = 0.25f, kFar = 1.0f;

// A 4x multisampled 8 x 8 depth buffer cleared to 1, with a triangle at depth 0.25 over the
// lower-left half (pixel x < y fully inside, x > y fully outside, x == y cut by the edge through
// the pixel's corners, so two of the four standard sample positions are covered), resolved each
// way the device offers.
TEST_F(DepthResolveTest, MultisampledDepthResolvesToNearestFarthestAndSampleZero) {
    if (Device().MsaaSampleCount() < 2) GTEST_SKIP() << "no multisampling";
    DepthBuffer msDepth;
    msDepth.Create(u"MsDepth", kSize, kSize, Format::D32_FLOAT, true);
    ColorBuffer msColor;
    msColor.Create(u"MsColor", kSize, kSize, Format::R8G8B8A8_UNORM, true);
    constexpr int kModes = 3;
    DepthBuffer resolved[kModes];
    const DepthResolveMode modes[kModes] = {DepthResolveMode::Min, DepthResolveMode::Max, DepthResolveMode::SampleZero};
    for (DepthBuffer& r : resolved) r.Create(u"ResolvedDepth", kSize, kSize, Format::D32_FLOAT);

    auto root = Device().CreateRootSignature(ShaderLayouts::FlatColor());
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
    desc.sampleCount = Device().MsaaSampleCount();
    auto pipeline = Device().CreateGraphicsPipelineState(desc);
    const float vertices[] = {-1, -1, kNear, 1, -1, kNear, -1, 1, kNear};
    auto vb = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(sizeof(vertices)), ResourceState::GenericRead);
    std::memcpy(vb->Map(), vertices, sizeof(vertices));

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    msColor.TransitionTo(list, ResourceState::RenderTarget);
    msDepth.TransitionTo(list, ResourceState::DepthWrite);
    const float black[4] = {0, 0, 0, 0};
    list.ClearRenderTargetView(msColor.rtvHandle.Cpu(), black);
    list.ClearDepthStencilView(msDepth.dsvHandle.Cpu(), kFar, 0);
    const CpuDescriptor rtv = msColor.rtvHandle.Cpu(), dsv = msDepth.dsvHandle.Cpu();
    list.OMSetRenderTargets(std::span(&rtv, 1), &dsv);
    const Viewport viewport{0, 0, kSize, kSize, 0, 1};
    const Rect scissor{0, 0, kSize, kSize};
    list.RSSetViewports(std::span(&viewport, 1));
    list.RSSetScissorRects(std::span(&scissor, 1));
    list.SetGraphicsRootSignature(*root);
    list.SetPipelineState(*pipeline);
    const VertexBufferView vbv{vb.get(), 0, sizeof(vertices), 12};
    list.IASetVertexBuffers(0, std::span(&vbv, 1));
    const float white[4] = {1, 1, 1, 1};
    list.SetGraphicsRoot32BitConstants(0, 4, white, 0);
    list.DrawInstanced(3, 1, 0, 0);
    for (int i = 0; i < kModes; ++i) resolved[i].ResolveFrom(msDepth, list, modes[i]);
    for (DepthBuffer& r : resolved) r.TransitionTo(list, ResourceState::CopySource);
    SubmitAndWait();

    const DeviceLimits& limits = Device().Limits();
    for (int i = 0; i < kModes; ++i) {
        const std::vector<uint8_t> bytes = ReadSubresource(*resolved[i].GetResource(), 0);
        ASSERT_EQ(bytes.size(), kSize * kSize * sizeof(float));
        for (uint32_t y = 0; y < kSize; ++y)
            for (uint32_t x = 0; x < kSize; ++x) {
                float d;
                std::memcpy(&d, bytes.data() + (y * kSize + x) * sizeof(float), sizeof(float));
                if (x < y) {
                    EXPECT_FLOAT_EQ(d, kNear) << "mode " << i << " at " << x << "," << y;
                } else if (x > y) {
                    EXPECT_FLOAT_EQ(d, kFar) << "mode " << i << " at " << x << "," << y;
                } else if (modes[i] == DepthResolveMode::Min && limits.depthResolveMin) {
                    EXPECT_FLOAT_EQ(d, kNear) << "nearest sample at " << x;
                } else if (modes[i] == DepthResolveMode::Max && limits.depthResolveMax) {
                    EXPECT_FLOAT_EQ(d, kFar) << "farthest sample at " << x;
                } else {
                    EXPECT_TRUE(d == kNear || d == kFar) << "sample zero is one of the samples, not a blend: " << d;
                }
            }
    }
}

TEST_F(DepthResolveTest, ColourResolveRefusesDepthAndDepthResolveRefusesWrongInputs) {
    if (Device().MsaaSampleCount() < 2) GTEST_SKIP() << "no multisampling";
    DepthBuffer msDepth, single, other;
    msDepth.Create(u"MsDepth", kSize, kSize, Format::D32_FLOAT, true);
    single.Create(u"SingleDepth", kSize, kSize, Format::D32_FLOAT);
    other.Create(u"SmallerDepth", kSize / 2, kSize / 2, Format::D32_FLOAT);
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    try {
        list.ResolveSubresource(*single.GetResource(), 0, *msDepth.GetResource(), 0, Format::D32_FLOAT);
        ADD_FAILURE() << "a depth image went through the colour resolve";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("ResolveDepth"), std::string::npos) << e.what();
    }
    EXPECT_THROW(list.ResolveDepth(msDepth.dsvHandle.Cpu(), single.dsvHandle.Cpu(), DepthResolveMode::Min), std::invalid_argument);
    EXPECT_THROW(list.ResolveDepth(other.dsvHandle.Cpu(), msDepth.dsvHandle.Cpu(), DepthResolveMode::Min), std::invalid_argument);
    EXPECT_THROW(single.ResolveFrom(other, list, DepthResolveMode::Min), std::invalid_argument);
    SubmitAndWait();
}

}  // namespace
}  // namespace TavrinTest
