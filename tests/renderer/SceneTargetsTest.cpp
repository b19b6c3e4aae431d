#include <gtest/gtest.h>

#include "renderer/SceneTargets.h"
#include "renderer/TemporalJitter.h"
#include "tests/engine/GpuTest.h"

namespace RendererTest {
namespace {

using namespace ProjectTavrin;

TEST(RenderSize, ExportSizeOnlyWhenBothSidesReach512) {
    EXPECT_EQ(RenderSizeFor({800, 600}, 1920, 1080), (PixelSize{1920, 1080}));
    EXPECT_EQ(RenderSizeFor({800, 600}, 512, 512), (PixelSize{512, 512}));
    EXPECT_EQ(RenderSizeFor({800, 600}, 400, 300), (PixelSize{800, 600}));
    EXPECT_EQ(RenderSizeFor({800, 600}, 1920, 511), (PixelSize{800, 600}));
    EXPECT_EQ(RenderSizeFor({800, 600}, 0, 0), (PixelSize{800, 600}));
    EXPECT_FALSE(IsUsableOutputSize(20, 500));
    EXPECT_FALSE(IsUsableOutputSize(500, 31.9f));
    EXPECT_TRUE(IsUsableOutputSize(32, 32));
}

TEST(TemporalJitter, SequenceRepeatsEveryEightFramesWithDeltas) {
    TemporalJitter jitter;
    const JitterStep first = jitter.Next(0);
    EXPECT_EQ(first.offset.x, 0.0f);
    EXPECT_EQ(first.delta.x, 0.5f);
    EXPECT_EQ(first.delta.y, 0.5f);
    EXPECT_EQ(first.historyIndex, 0u);
    const JitterStep second = jitter.Next(1);
    EXPECT_EQ(second.offset.x, 0.5f);
    EXPECT_FLOAT_EQ(second.offset.y, 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(second.delta.x, -0.5f);
    EXPECT_FLOAT_EQ(second.delta.y, -1.0f / 3.0f);
    EXPECT_EQ(second.historyIndex, 1u);
    for (uint32_t f = 2; f < 8; ++f) jitter.Next(f);
    const JitterStep eighth = jitter.Next(8);
    EXPECT_EQ(eighth.offset.x, first.offset.x);
    EXPECT_EQ(eighth.offset.y, first.offset.y);
    EXPECT_FLOAT_EQ(eighth.delta.x, 0.875f);  // from frame 7's offset
    EXPECT_EQ(eighth.historyIndex, 0u);
}

using SceneTargetsGpu = TavrinTest::GpuTest;

TEST_F(SceneTargetsGpu, TargetsFollowTheRenderSizeRules) {
    SceneTargets targets;
    const auto outFormat = Engine::Platform::Format::R8G8B8A8_UNORM;
    ASSERT_TRUE(targets.Create(64, 48, 0, 0, outFormat));
    EXPECT_EQ(targets.RenderSize(), (PixelSize{64, 48}));
    EXPECT_EQ(targets.color.Width(), 64u);
    EXPECT_EQ(targets.color.Format(), kSceneColorFormat);
    EXPECT_TRUE(targets.colorMsaa.IsMultisampled());
    EXPECT_FALSE(targets.color.IsMultisampled());
    EXPECT_EQ(targets.color8Bit.Format(), Engine::Platform::Format::R8G8B8A8_UNORM);
    EXPECT_EQ(targets.depthMsaa.Height(), 48u);
    EXPECT_EQ(targets.Generation(), 1u);

    // Too small: nothing changes.
    EXPECT_FALSE(targets.Create(20, 500, 0, 0, outFormat));
    EXPECT_EQ(targets.RenderSize(), (PixelSize{64, 48}));
    EXPECT_EQ(targets.Generation(), 1u);

    // Export at 512 x 600 with a 64 x 48 window: scene targets at the export size, the output
    // target at the window size.
    ASSERT_TRUE(targets.Create(64, 48, 512, 600, outFormat));
    EXPECT_EQ(targets.color.Width(), 512u);
    EXPECT_EQ(targets.velocityMsaa.Height(), 600u);
    EXPECT_EQ(targets.outputTemp.Width(), 64u);
    EXPECT_EQ(targets.Generation(), 2u);

    // A window resize while exporting keeps the scene targets.
    ASSERT_TRUE(targets.Create(80, 40, 512, 600, outFormat));
    EXPECT_EQ(targets.Generation(), 2u);
    EXPECT_EQ(targets.outputTemp.Width(), 80u);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace RendererTest
