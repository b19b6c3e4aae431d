#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "renderer/SettingsExchange.h"

namespace RendererTest {
namespace {

using namespace ProjectTavrin;

TEST(RenderSettings, DefaultsOfAFreshRecord) {
    const RenderSettings s;
    EXPECT_EQ(s.config.SunDirection.x, 1.0f);
    EXPECT_EQ(s.config.SunDirection.z, 1.0f);
    EXPECT_EQ(s.config.SunLightEnable, 0);
    EXPECT_EQ(s.config.SunIntensity, 2.0f);
    EXPECT_EQ(s.config.AmbientIntensity, 1.0f);
    EXPECT_EQ(s.config.GI_AO_Strength, 2.0f);
    EXPECT_EQ(s.config.SkyLightUpperLimit, 100.0f);
    EXPECT_EQ(s.config.AO_Mode, 0);
    EXPECT_TRUE(s.TaaEnable);
    EXPECT_FALSE(s.FxaaEnable || s.DofEnable || s.VolumetricLightEnable || s.LensFlareEnable || s.OceanEnable);
    EXPECT_EQ(s.ExportWidth, 0u);
    EXPECT_FLOAT_EQ(s.ocean.SEA_CHOPPY, 4.0f);
    EXPECT_FLOAT_EQ(s.ocean.SEA_WATER_COLOR.y, 0.9f);
    EXPECT_EQ(s.ocean.SEA_TIME, 0.0f);

    const PostParams p;
    EXPECT_FALSE(p.ToneMapEnable);
    EXPECT_FLOAT_EQ(p.BloomStrength, 0.2f);
    EXPECT_FLOAT_EQ(p.MinExposure, 1.0f / 64.0f);
    EXPECT_FLOAT_EQ(p.ColorFilterStrength, 1.0f);
    EXPECT_EQ(p.SharpenAmount, 0.0f);
    EXPECT_FLOAT_EQ(p.TaaSharpness, 0.5f);
}

// The uploaded block is read by the shaders word by word: the words after each vector hold the
// scalar that goes with it.
TEST(RenderSettings, ConfigBlockWordsAsTheShadersReadThem) {
    RenderConfigBuffer c = DefaultRenderConfig();
    c.SunLightEnable = 7;
    uint32_t words[22];
    static_assert(sizeof(words) == sizeof(c));
    std::memcpy(words, &c, sizeof(c));
    float asFloat[22];
    std::memcpy(asFloat, words, sizeof(words));
    EXPECT_EQ(asFloat[0], 1.0f);
    EXPECT_EQ(words[3], 7u);
    EXPECT_EQ(asFloat[7], 2.0f);       // SunIntensity
    EXPECT_EQ(asFloat[11], 1.0f);      // AmbientIntensity
    EXPECT_EQ(asFloat[15], 2.0f);      // GI_AO_Strength
    EXPECT_EQ(asFloat[21], 100.0f);    // SkyLightUpperLimit
    EXPECT_LE(sizeof(c), kRenderConfigSlotBytes);
}

// A reader taking snapshots while a writer alternates between two whole colours never sees a
// mixture of the two.
TEST(SettingsExchange, ASnapshotNeverHoldsAHalfWrittenColour) {
    SettingsExchange exchange;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop.load(); ++i) {
            const float v = (i % 2) ? 0.25f : 0.75f;
            exchange.Edit([v](FrameSettings& s) {
                s.render.config.SunColor = {v, v, v};
                s.post.BloomThreshold = v;
            });
        }
    });
    int mixed = 0;
    int snapshots = 0;
    for (; snapshots < 20000 || exchange.Revision() < 2000; ++snapshots) {
        const FrameSettings s = exchange.Snapshot();
        const Math::vec3 c = s.render.config.SunColor;
        // Defaults agree too: a white sun and a bloom threshold of 1.
        if (c.x != c.y || c.y != c.z || s.post.BloomThreshold != c.x)
            ++mixed;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_GE(exchange.Revision(), 2000u);
}

// However a change reaches the exchange (a page's edit of one field, a whole record put in place
// as the command-line tools and stored settings do), the passes' copies of the sun follow it; an
// edit that leaves the sun alone leaves the copies alone.
TEST(RenderSettings, SunCopiesFollowEveryEditOfTheSun) {
    SettingsExchange exchange;
    exchange.Edit([](FrameSettings& s) { s.render.TaaEnable = false; });
    EXPECT_EQ(exchange.Snapshot().post.LensFlareSunPosition.x, 7000.0f) << "the sun did not change";

    exchange.Edit([](FrameSettings& s) { s.render.config.SunDirection = {3, 0, 4}; });
    FrameSettings now = exchange.Snapshot();
    EXPECT_FLOAT_EQ(now.post.shadow.SunDirection.x, 0.6f);
    EXPECT_FLOAT_EQ(now.post.voxel.SunDir.z, 0.8f);
    EXPECT_FLOAT_EQ(now.post.volumetric.LightDir.x, -0.6f);
    EXPECT_FLOAT_EQ(now.post.LensFlareSunPosition.z, 8000.0f);

    FrameSettings stored;  // a whole record whose copies were never brought in line
    stored.render.config.SunDirection = {0, 0, -2};
    stored.render.config.SunColor = {0.25f, 0.5f, 1.0f};
    stored.render.config.SunLightEnable = 1;
    exchange.Edit([&](FrameSettings& s) { s = stored; });
    now = exchange.Snapshot();
    EXPECT_EQ(now.post.shadow.SunDirection.z, -1.0f);
    EXPECT_EQ(now.post.volumetric.LightDir.z, 1.0f);
    EXPECT_EQ(now.post.voxel.SunColor.x, 0.25f);
    EXPECT_EQ(now.post.voxel.EnableShadow, 1);
    EXPECT_TRUE(now.post.volumetric.UseShadow);

    exchange.Edit([](FrameSettings& s) { s.render.config.SunDirection = {0, 0, 0}; });
    EXPECT_EQ(exchange.Snapshot().post.shadow.SunDirection.z, 0.0f) << "no direction stays no direction";
}

}  // namespace
}  // namespace RendererTest
