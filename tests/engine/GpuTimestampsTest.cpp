// GPU times of labelled scopes: nesting, what a frame reports before and after it has run, slots
// reused across frames, scopes beyond the capacity and frames that were never ended.
#include <gtest/gtest.h>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/Platform/GpuTimestamps.h"
#include "GpuTest.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

class GpuTimestampsTest : public GpuTest {
protected:
    void SetUp() override {
        GpuTest::SetUp();
        if (IsSkipped()) return;
        if (Device().Limits().timestampValidBits == 0) GTEST_SKIP() << "the queue writes no timestamps";
        m_target = Device().CreateCommittedResource(
            HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 256, 256, 1, 1, 1, ResourceFlags::AllowRenderTarget),
            ResourceState::RenderTarget);
        m_rtv = AllocateDescriptor(DescriptorHeapType::Rtv);
        Device().CreateRenderTargetView(m_target.get(), nullptr, m_rtv.Cpu());
    }

    // Something for the GPU to spend time on.
    void Work(CommandList& list) {
        const float color[4] = {0.25f, 0.5f, 0.75f, 1.0f};
        for (int i = 0; i < 4; ++i) list.ClearRenderTargetView(m_rtv.Cpu(), color);
    }

    std::shared_ptr<Resource> m_target;
    DescriptorHandle m_rtv;
};

TEST_F(GpuTimestampsTest, NestedScopesLieInsideTheirParentAndTheFrame) {
    GpuTimestamps timer(Core().GetDeviceShared(), kFrameCount);
    ASSERT_TRUE(timer.Available());
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    timer.BeginFrame(list, 0);
    timer.BeginScope(list, "Outer");
    Work(list);
    timer.BeginScope(list, "Inner");
    Work(list);
    timer.EndScope(list);
    timer.EndScope(list);
    timer.BeginScope(list, "Second");
    Work(list);
    timer.EndScope(list);
    timer.EndFrame(list);
    // Recorded but not run: nothing to read, and asking does not wait for it.
    EXPECT_TRUE(timer.Collect(false).empty());
    EXPECT_TRUE(timer.Collect(true).empty());
    SubmitAndWait();

    const std::vector<TimedFrame> frames = timer.Collect(false);
    ASSERT_EQ(frames.size(), 1u);
    const TimedFrame& f = frames[0];
    EXPECT_EQ(f.frameNumber, 0u);
    ASSERT_EQ(f.scopes.size(), 3u);
    EXPECT_EQ(f.scopes[0].name, "Outer");
    EXPECT_EQ(f.scopes[1].name, "Inner");
    EXPECT_EQ(f.scopes[2].name, "Second");
    EXPECT_EQ(f.scopes[0].depth, 0u);
    EXPECT_EQ(f.scopes[1].depth, 1u);
    EXPECT_EQ(f.scopes[2].depth, 0u);
    EXPECT_EQ(f.scopes[0].parent, -1);
    EXPECT_EQ(f.scopes[1].parent, 0);
    EXPECT_EQ(f.scopes[2].parent, -1);
    for (const TimedScope& s : f.scopes) EXPECT_GE(s.milliseconds, 0.0) << s.name;
    EXPECT_LE(f.scopes[1].milliseconds, f.scopes[0].milliseconds);
    EXPECT_LE(f.scopes[0].milliseconds + f.scopes[2].milliseconds, f.milliseconds);
    EXPECT_GT(f.milliseconds, 0.0);
    // Read once only.
    EXPECT_TRUE(timer.Collect(true).empty());
}

// Two slots over five frames: each frame is read when its slot comes round again (or when asked),
// in order, and its scopes are its own.
TEST_F(GpuTimestampsTest, SlotsAreReusedFrameAfterFrame) {
    GpuTimestamps timer(Core().GetDeviceShared(), 2);
    std::vector<TimedFrame> all;
    for (uint32_t frame = 0; frame < 5; ++frame) {
        Core().ResetCommandList();
        CommandList& list = *Core().GetCommandList();
        timer.BeginFrame(list, frame);
        for (uint32_t s = 0; s <= frame % 3; ++s) {
            timer.BeginScope(list, "Pass" + std::to_string(s));
            Work(list);
            timer.EndScope(list);
        }
        timer.EndFrame(list);
        SubmitAndWait();
        if (frame % 2 == 1) {
            auto got = timer.Collect(false);
            all.insert(all.end(), got.begin(), got.end());
        }
    }
    auto rest = timer.Collect(true);
    all.insert(all.end(), rest.begin(), rest.end());
    ASSERT_EQ(all.size(), 5u);
    for (uint32_t frame = 0; frame < 5; ++frame) {
        EXPECT_EQ(all[frame].frameNumber, frame);
        ASSERT_EQ(all[frame].scopes.size(), frame % 3 + 1) << frame;
        EXPECT_EQ(all[frame].scopes.back().name, "Pass" + std::to_string(frame % 3));
    }
}

// Scopes past the capacity go untimed without upsetting the nesting of the timed ones; extra
// EndScope calls are ignored and scopes left open are closed by EndFrame.
TEST_F(GpuTimestampsTest, ScopesBeyondTheCapacityAreLeftOut) {
    GpuTimestamps timer(Core().GetDeviceShared(), 1, 2);
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    timer.BeginFrame(list, 0);
    timer.BeginScope(list, "A");
    timer.BeginScope(list, "B");
    timer.BeginScope(list, "Untimed");
    Work(list);
    timer.EndScope(list);
    timer.EndScope(list);
    timer.BeginScope(list, "AlsoUntimed");
    timer.EndScope(list);
    timer.EndScope(list);
    timer.EndScope(list);  // one too many: ignored
    timer.BeginScope(list, "Open");
    timer.EndFrame(list);
    SubmitAndWait();
    const auto frames = timer.Collect(false);
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(frames[0].scopes.size(), 2u);
    EXPECT_EQ(frames[0].scopes[1].parent, 0);
    EXPECT_LE(frames[0].scopes[1].milliseconds, frames[0].scopes[0].milliseconds);
}

// A frame that was begun but never ended (its recording abandoned) is dropped: the slot serves
// the next frame, which reads back on its own.
TEST_F(GpuTimestampsTest, AnUnendedFrameIsDropped) {
    GpuTimestamps timer(Core().GetDeviceShared(), 1);
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    timer.BeginFrame(list, 0);
    timer.BeginScope(list, "Abandoned");
    SubmitAndWait();
    Core().ResetCommandList();
    CommandList& next = *Core().GetCommandList();
    timer.BeginFrame(next, 0);
    timer.BeginScope(next, "Kept");
    Work(next);
    timer.EndScope(next);
    timer.EndFrame(next);
    SubmitAndWait();
    const auto frames = timer.Collect(false);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].frameNumber, 1u);
    ASSERT_EQ(frames[0].scopes.size(), 1u);
    EXPECT_EQ(frames[0].scopes[0].name, "Kept");
}

}  // namespace
}  // namespace TavrinTest
