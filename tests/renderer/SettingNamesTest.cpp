#include <gtest/gtest.h>

#include <set>

#include "renderer/SettingNames.h"

namespace RendererTest {
namespace {

using namespace ProjectTavrin;

TEST(SettingNames, SetsFieldsOfEachKind) {
    FrameSettings s;
    std::string error;
    EXPECT_TRUE(ApplySetting(s, "SunIntensity", "3.5", error));
    EXPECT_EQ(s.render.config.SunIntensity, 3.5f);
    EXPECT_TRUE(ApplySetting(s, "SunColor", "1,0.5,0.25", error));
    EXPECT_EQ(s.render.config.SunColor.y, 0.5f);
    EXPECT_EQ(s.render.config.SunColor.z, 0.25f);
    EXPECT_TRUE(ApplySetting(s, "AO_Mode", "2", error));
    EXPECT_EQ(s.render.config.AO_Mode, 2);
    EXPECT_TRUE(ApplySetting(s, "TaaEnable", "false", error));
    EXPECT_FALSE(s.render.TaaEnable);
    EXPECT_TRUE(ApplySetting(s, "ExportWidth", "1920", error));
    EXPECT_EQ(s.render.ExportWidth, 1920u);
    EXPECT_TRUE(ApplySettingAssignment(s, "ocean.SEA_HEIGHT=0.25", error));
    EXPECT_EQ(s.render.ocean.SEA_HEIGHT, 0.25f);
    EXPECT_TRUE(ApplySettingAssignment(s, "BloomStrength=0", error));
    EXPECT_EQ(s.post.BloomStrength, 0.0f);
}

TEST(SettingNames, RejectsBadInputWithoutChangingAnything) {
    FrameSettings s;
    std::string error;
    EXPECT_FALSE(ApplySetting(s, "SunIntensty", "3", error));
    EXPECT_NE(error.find("unknown setting"), std::string::npos);
    EXPECT_FALSE(ApplySetting(s, "SunIntensity", "3x", error));
    EXPECT_FALSE(ApplySetting(s, "SunIntensity", "nan", error));
    EXPECT_FALSE(ApplySetting(s, "SunIntensity", "", error));
    EXPECT_EQ(s.render.config.SunIntensity, 2.0f);
    EXPECT_FALSE(ApplySetting(s, "SunColor", "1,0.5", error));
    EXPECT_FALSE(ApplySetting(s, "SunColor", "1,0.5,0.2,0.1", error));
    EXPECT_EQ(s.render.config.SunColor.y, 1.0f);
    EXPECT_FALSE(ApplySetting(s, "ExportWidth", "-5", error));
    EXPECT_EQ(s.render.ExportWidth, 0u);
    EXPECT_FALSE(ApplySetting(s, "TaaEnable", "maybe", error));
    EXPECT_TRUE(s.render.TaaEnable);
    EXPECT_FALSE(ApplySettingAssignment(s, "=3", error));
    EXPECT_FALSE(ApplySettingAssignment(s, "SunIntensity", error));
}

TEST(SettingNames, NamesAreUniqueAndCoverEveryGroup) {
    const std::vector<std::string> names = SettingNames();
    const std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    for (const char* expected : {"SkyLightUpperLimit", "OceanEnable", "ocean.SEA_WATER_COLOR", "TaaSharpness", "VignetteAmount"})
        EXPECT_TRUE(unique.count(expected)) << expected;
    // Every name sets something: applying each with a value of its kind succeeds.
    FrameSettings s;
    std::string error;
    for (const std::string& name : names) {
        const bool ok = ApplySetting(s, name, "1", error) || ApplySetting(s, name, "1,1,1", error) ||
                        ApplySetting(s, name, "128", error);
        EXPECT_TRUE(ok) << name;
    }
}

}  // namespace
}  // namespace RendererTest
