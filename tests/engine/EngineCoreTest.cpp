#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/ReadbackBuffer.h"
#include "GpuTest.h"
#include "core/HrException.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using EngineCoreTest = GpuTest;

// The safety net of every GPU test: a barrier that lies about the layout must be reported.
TEST_F(EngineCoreTest, ValidationLayerCountsMessages) {
    ASSERT_TRUE(Device().ValidationEnabled());
    ColorBuffer target;
    target.Create(u"Mislabelled", 1, 1, Format::R8G8B8A8_UNORM);
    Core().ResetCommandList();
    const ResourceBarrier wrong =
        ResourceBarrier::Transition(target.GetResource(), ResourceState::RenderTarget, ResourceState::CopyDest);  // really Common
    Core().GetCommandList()->ResourceBarrier(std::span(&wrong, 1));
    SubmitAndWait();
    EXPECT_GE(NewValidationMessages(), 1u);
    AcceptValidationMessages();
}

TEST_F(EngineCoreTest, ClearedColorBufferReadsBackEveryPixel) {
    ColorBuffer target;
    target.Create(u"ClearTarget", 5, 3, Format::R8G8B8A8_UNORM);
    Core().ResetCommandList();
    target.TransitionTo(ResourceState::RenderTarget);
    const float color[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    Core().GetCommandList()->ClearRenderTargetView(target.rtvHandle.Cpu(), color);
    SubmitAndWait();

    ReadbackBuffer readback;
    const uint8_t* bytes = readback.ReadBack(target);
    EXPECT_EQ(target.GetState(), ResourceState::CopySource);
    EXPECT_EQ(readback.RowPitch(), 256u);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x) {
            const uint8_t* p = bytes + y * readback.RowPitch() + x * 4;
            EXPECT_NEAR(p[0], 64, 1) << x << "," << y;
            EXPECT_NEAR(p[1], 128, 1);
            EXPECT_NEAR(p[2], 191, 1);
            EXPECT_EQ(p[3], 255);
        }
}

// Two frames in flight: after every Present the CPU may run at most one frame ahead of the GPU,
// the back buffers alternate, and the frame fence only moves forward.
TEST_F(EngineCoreTest, HeadlessPresentLoopKeepsTwoFramesInFlight) {
    Core().SetHeadlessOutput(8, 8);
    uint64_t lastSignalled = 0;
    for (int frame = 0; frame < 300; ++frame) {
        const uint32_t index = Core().GetBackBufferIndex();
        Core().ResetCommandList();
        CommandList& list = *Core().GetCommandList();
        Resource* backBuffer = Core().GetRenderTarget();
        const ResourceBarrier toTarget = ResourceBarrier::Transition(backBuffer, ResourceState::Present, ResourceState::RenderTarget);
        list.ResourceBarrier(std::span(&toTarget, 1));
        const float color[4] = {float(frame % 7) / 7.0f, 0, 0, 1};
        list.ClearRenderTargetView(Core().GetRenderTargetView(), color);
        const ResourceBarrier toPresent = ResourceBarrier::Transition(backBuffer, ResourceState::RenderTarget, ResourceState::Present);
        list.ResourceBarrier(std::span(&toPresent, 1));
        const uint64_t signalled = Core().GetFenceValue(index);
        Core().Present();
        ASSERT_FALSE(Core().IsDeviceLost());
        EXPECT_EQ(Core().GetBackBufferIndex(), (index + 1) % kFrameCount);
        EXPECT_GT(signalled, lastSignalled);
        EXPECT_GE(Core().GetFence()->GetCompletedValue() + 1, signalled) << "more than two frames in flight at frame " << frame;
        lastSignalled = signalled;
    }
}

TEST_F(EngineCoreTest, PresentWithClosedListOnlyAdvancesTheFrame) {
    const uint32_t index = Core().GetBackBufferIndex();
    ASSERT_FALSE(Core().IsCommandListOpen());
    Core().Present();
    EXPECT_EQ(Core().GetBackBufferIndex(), (index + 1) % kFrameCount);
}

TEST_F(EngineCoreTest, LogicalSizeIsClampedAndEqualSizesKeepTheTargets) {
    Core().SetLogicalSize(0, 0);
    EXPECT_EQ(Core().GetOutputWidth(), 1.0f);
    EXPECT_EQ(Core().GetOutputHeight(), 1.0f);
    EXPECT_EQ(Core().GetRenderTarget()->Desc().width, 1u);
    EXPECT_EQ(Core().GetScreenViewport().width, 1.0f);
    EXPECT_EQ(Core().GetScreenViewport().height, 1.0f);

    Core().SetLogicalSize(12.7f, 9);
    EXPECT_EQ(Core().GetRenderTarget()->Desc().width, 12u);
    EXPECT_EQ(Core().GetDepthStencil()->Desc().height, 9u);
    const Resource* before = Core().GetRenderTarget();
    const CpuDescriptor rtv = Core().GetRenderTargetView();
    Core().SetLogicalSize(12.7f, 9);
    EXPECT_EQ(Core().GetRenderTarget(), before);
    // A real size change re-creates the targets but keeps their view slots. (The new target may
    // reuse the old one's address, so its size tells it apart, not its pointer.)
    Core().SetLogicalSize(16, 16);
    EXPECT_EQ(Core().GetRenderTarget()->Desc().width, 16u);
    EXPECT_EQ(Core().GetRenderTargetView().index, rtv.index);
}

// The batch holds 16 barriers: the 17th append issues the first 16 in one call.
TEST_F(EngineCoreTest, BarrierBatchFlushesSixteenAtATime) {
    std::vector<std::unique_ptr<ColorBuffer>> buffers;
    for (int i = 0; i < 17; ++i) {
        buffers.push_back(std::make_unique<ColorBuffer>());
        buffers.back()->Create(u"BatchTarget", 1, 1, Format::R8G8B8A8_UNORM);
    }
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    for (int i = 0; i < 16; ++i)
        Core().AppendBarrier(ResourceBarrier::Transition(buffers[i]->GetResource(), ResourceState::Common, ResourceState::CopyDest));
    EXPECT_EQ(list.BarrierCallCount(), 0u);
    EXPECT_EQ(Core().PendingBarrierCount(), 16u);
    Core().AppendBarrier(ResourceBarrier::Transition(buffers[16]->GetResource(), ResourceState::Common, ResourceState::CopyDest));
    EXPECT_EQ(list.BarrierCallCount(), 1u);
    EXPECT_EQ(list.BarrierCount(), 16u);
    EXPECT_EQ(Core().PendingBarrierCount(), 1u);
    Core().FlushBarriers();
    EXPECT_EQ(list.BarrierCallCount(), 2u);
    EXPECT_EQ(list.BarrierCount(), 17u);
    Core().FlushBarriers();
    EXPECT_EQ(list.BarrierCallCount(), 2u);
    for (auto& b : buffers) b->SetState(ResourceState::CopyDest);

    // Equal states record nothing; unordered access to unordered access records one UAV barrier.
    buffers[0]->TransitionTo(ResourceState::CopyDest);
    EXPECT_EQ(list.BarrierCount(), 17u);
    EXPECT_FALSE(buffers[0]->TransitionTo(list, ResourceState::CopyDest));
    EXPECT_EQ(list.BarrierCount(), 17u);
    buffers[0]->TransitionTo(ResourceState::UnorderedAccess);
    EXPECT_EQ(list.BarrierCount(), 18u);
    buffers[0]->TransitionTo(ResourceState::UnorderedAccess);
    EXPECT_EQ(list.BarrierCount(), 19u);
    EXPECT_EQ(list.BarrierCallCount(), 4u);
    EXPECT_FALSE(buffers[0]->TransitionTo(list, ResourceState::UnorderedAccess));
    EXPECT_EQ(list.BarrierCount(), 20u);
    EXPECT_TRUE(buffers[1]->TransitionTo(list, ResourceState::PixelShaderResource));
    EXPECT_EQ(buffers[1]->GetState(), ResourceState::PixelShaderResource);
    SubmitAndWait();
}

TEST_F(EngineCoreTest, RaytracingIsReportedWithItsLimits) {
    const AdapterInfo& adapter = Device().Adapter();
    if (adapter.kind == AdapterKind::Cpu) {
        // Mesa 25's lavapipe has the acceleration-structure and ray-tracing-pipeline extensions.
        EXPECT_TRUE(Core().IsRaytracingSupported()) << adapter.driverInfo;
    }
    if (Core().IsRaytracingSupported()) {
        EXPECT_GE(Device().Limits().shaderGroupHandleSize, 16u);
        EXPECT_GE(Device().Limits().shaderGroupBaseAlignment, Device().Limits().shaderGroupHandleSize);
        EXPECT_GE(Device().Limits().maxRayRecursionDepth, 1u);
    }
    const uint32_t samples = Device().MsaaSampleCount();
    EXPECT_TRUE(samples == 1 || samples == 2 || samples == 4 || samples == 8) << samples;
}

// Like the software adapter of the original platform, the CPU device is the last choice and is
// announced on the debug output.
TEST_F(EngineCoreTest, CpuDeviceIsAnnouncedWhenChosen) {
    testing::internal::CaptureStderr();
    auto second = Device::Create(DeviceOptions{});
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(second->Adapter().name, Device().Adapter().name);
    if (second->Adapter().kind == AdapterKind::Cpu)
        EXPECT_NE(output.find("Vulkan Adapter - lavapipe\n"), std::string::npos) << output;
    else
        EXPECT_EQ(output.find("Vulkan Adapter - lavapipe"), std::string::npos) << output;
}

TEST_F(EngineCoreTest, FailingCreationRaisesHrException) {
    // A texture of zero width, and a format with no counterpart, are refused before reaching the driver.
    EXPECT_THROW(Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 0, 4),
                                                  ResourceState::Common),
                 HrException);
    EXPECT_THROW(Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(static_cast<Format>(66), 4, 4),
                                                  ResourceState::Common),
                 HrException);
    // Upload heaps hold buffers only.
    EXPECT_THROW(Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 4, 4),
                                                  ResourceState::GenericRead),
                 HrException);
    try {
        Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 0, 4), ResourceState::Common);
    } catch (const HrException& e) {
        EXPECT_STREQ(e.what(), "HRESULT of 0xFFFFFFF5");  // VK_ERROR_FORMAT_NOT_SUPPORTED (-11)
    }
}

}  // namespace
}  // namespace TavrinTest
