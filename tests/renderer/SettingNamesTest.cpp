#include <gtest/gtest.h>

#include <set>

#include "renderer/FrameSteps.h"
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
    EXPECT_TRUE(ApplySettingAssignment(s, "MaterialStyle=Classic", error));
    EXPECT_EQ(s.render.MaterialStyle, Vesma::MaterialStyle::Classic);
    EXPECT_TRUE(ApplySettingAssignment(s, "OutlineWidth=2.5", error));
    EXPECT_EQ(s.render.OutlineWidth, 2.5f);
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
    EXPECT_FALSE(ApplySetting(s, "MaterialStyle", "classic", error));
    EXPECT_FALSE(ApplySetting(s, "MaterialStyle", "1", error));
    EXPECT_EQ(s.render.MaterialStyle, Vesma::MaterialStyle::PhysicallyBased);
    EXPECT_FALSE(ApplySetting(s, "OutlineWidth", "-1", error));
    EXPECT_EQ(s.render.OutlineWidth, 2.0f);
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
                        ApplySetting(s, name, "128", error) || ApplySetting(s, name, "Classic", error);
        EXPECT_TRUE(ok) << name;
    }
}

}  // namespace
}  // namespace RendererTest

namespace RendererTest {
namespace {

using namespace ProjectTavrin;

TEST(SettingNames, PassBlocksAndFilesAreNamed) {
    FrameSettings s;
    std::string error;
    for (const char* assignment :
         {"shadow.CascadeCount=3", "shadow.Distance=256", "voxel.Resolution=128", "voxel.Ambient=0.5",
          "probes.Origin=1,2,3", "probes.Count=4", "ssao.Accentuation=0.75", "rtao.Temporal=off", "rtao.NumSamples=8",
          "reflection.Temporal=on", "volumetric.HeightFog0=-2", "volumetric.LightColor=0.1,0.2,0.3",
          "EnvironmentFile=<Sample>", "ColorFilterLutFile=/films/a b.cube"})
        EXPECT_TRUE(ApplySettingAssignment(s, assignment, error)) << assignment << ": " << error;
    EXPECT_EQ(s.post.shadow.CascadeCount, 3u);
    EXPECT_EQ(s.post.shadow.Distance, 256.0f);
    EXPECT_EQ(s.post.voxel.Resolution, 128);
    EXPECT_EQ(s.post.voxel.Ambient, 0.5f);
    EXPECT_EQ(s.post.probes.Origin.y, 2.0f);
    EXPECT_EQ(s.post.probes.Count, 4u);
    EXPECT_EQ(s.post.ssao.Accentuation, 0.75f);
    EXPECT_FALSE(s.post.rtao.Temporal);
    EXPECT_EQ(s.post.rtao.NumSamples, 8);
    EXPECT_TRUE(s.post.reflection.Temporal);
    EXPECT_EQ(s.post.volumetric.HeightFog[0], -2.0f);
    EXPECT_EQ(s.post.volumetric.LightColor.z, 0.3f);
    EXPECT_EQ(s.post.EnvironmentFile, "<Sample>");
    EXPECT_EQ(s.post.ColorFilterLutFile, "/films/a b.cube");
    EXPECT_TRUE(ApplySettingAssignment(s, "ColorFilterLutFile=", error)) << "an empty name names no file";
    EXPECT_EQ(s.post.ColorFilterLutFile, "");
}

// The passes' copies of the sun follow SunDirection, SunColor and SunLightEnable as soon as one
// is set by name, and are not names of their own.
TEST(SettingNames, SunCopiesFollowTheSunAndAreNotSetApart) {
    FrameSettings s;
    std::string error;
    ASSERT_TRUE(ApplySettingAssignment(s, "SunDirection=0,2,0", error)) << error;
    EXPECT_EQ(s.render.config.SunDirection.y, 2.0f) << "the setting itself keeps what was given";
    for (const Math::vec3& copy : {s.post.shadow.SunDirection, s.post.voxel.SunDir}) {
        EXPECT_EQ(copy.x, 0.0f);
        EXPECT_EQ(copy.y, 1.0f);
    }
    EXPECT_EQ(s.post.volumetric.LightDir.y, -1.0f);
    EXPECT_EQ(s.post.LensFlareSunPosition.y, 10000.0f);
    ASSERT_TRUE(ApplySettingAssignment(s, "SunColor=1,0.5,0.25", error));
    EXPECT_EQ(s.post.voxel.SunColor.y, 0.5f);
    ASSERT_TRUE(ApplySettingAssignment(s, "SunLightEnable=1", error));
    EXPECT_EQ(s.post.voxel.EnableShadow, 1);
    EXPECT_TRUE(s.post.volumetric.UseShadow);
    for (const char* name : kDerivedSunSettings) {
        EXPECT_FALSE(ApplySetting(s, name, "1,1,1", error)) << name;
        EXPECT_NE(error.find("set that instead"), std::string::npos) << name;
        EXPECT_FALSE(SettingValue(s, name).has_value()) << name;
    }
    EXPECT_EQ(s.post.shadow.SunDirection.y, 1.0f);
}

TEST(SettingNames, CountsThePassesSizeWorkByAreLimited) {
    FrameSettings s;
    std::string error;
    for (const char* assignment : {"shadow.CascadeCount=0", "shadow.CascadeCount=5", "probes.Count=0", "probes.Count=9",
                                   "voxel.Resolution=100", "voxel.Resolution=0", "ssao.HierarchyDepth=5",
                                   "rtao.NumSamples=0", "reflection.NumSamples=-1", "volumetric.SampleCount=0"})
        EXPECT_FALSE(ApplySettingAssignment(s, assignment, error)) << assignment;
    EXPECT_EQ(s.post.shadow.CascadeCount, 2u);
    EXPECT_EQ(s.post.probes.Count, 1u);
    EXPECT_EQ(s.post.voxel.Resolution, 96);
    EXPECT_EQ(s.post.rtao.NumSamples, 16);
    EXPECT_TRUE(ApplySettingAssignment(s, "voxel.Resolution=160", error));
    EXPECT_TRUE(ApplySettingAssignment(s, "shadow.CascadeCount=1", error));
}

// The command line chooses GI by GI_Mode, as the page does; GI_Enable, which only follows the
// mode, is refused with the name to use instead, and modes past the lists' ends are refused.
TEST(SettingNames, GiIsChosenByItsModeOnly) {
    FrameSettings s;
    std::string error;
    EXPECT_FALSE(ApplySettingAssignment(s, "GI_Enable=1", error));
    EXPECT_NE(error.find("GI_Mode=2"), std::string::npos) << error;
    for (const char* assignment : {"GI_Mode=3", "GI_Mode=-1", "AO_Mode=3", "SR_Mode=2"})
        EXPECT_FALSE(ApplySettingAssignment(s, assignment, error)) << assignment;
    ASSERT_TRUE(ApplySettingAssignment(s, "GI_Mode=2", error)) << error;
    FrameResources voxelPass;
    voxelPass.voxelVolume = true;
    EXPECT_TRUE(FrameStepWanted(FrameStep::VoxelGi, s, voxelPass));
}

TEST(SettingNames, ValuesReadBackAsTheSameSettings) {
    FrameSettings changed;
    std::string error;
    for (const char* assignment : {"SunDirection=0.1,-0.7,0.3", "SunIntensity=0.123456789", "AO_Mode=2", "TaaEnable=false",
                                   "ExportWidth=1920", "shadow.FilterSize=3e-5", "EnvironmentFile=/skies/dusk.hdr",
                                   "volumetric.HeightFog0=-0.015", "MaterialStyle=Classic", "OutlineEnable=false"})
        ASSERT_TRUE(ApplySettingAssignment(changed, assignment, error)) << error;
    EXPECT_FALSE(SettingValue(changed, "NoSuchSetting").has_value());
    // Reading every field of `changed` and setting it on the defaults gives `changed` again.
    FrameSettings copy;
    for (const std::string& name : SettingNames()) {
        const std::optional<std::string> value = SettingValue(changed, name);
        ASSERT_TRUE(value.has_value()) << name;
        ASSERT_TRUE(ApplySetting(copy, name, *value, error)) << name << "=" << *value << ": " << error;
    }
    for (const std::string& name : SettingNames()) EXPECT_EQ(SettingValue(copy, name), SettingValue(changed, name)) << name;
    EXPECT_EQ(copy.render.config.SunIntensity, 0.123456789f);
    EXPECT_EQ(copy.post.shadow.FilterSize, 3e-5f);
    EXPECT_EQ(*SettingValue(copy, "TaaEnable"), "false");
    EXPECT_EQ(*SettingValue(copy, "EnvironmentFile"), "/skies/dusk.hdr");
}

}  // namespace
}  // namespace RendererTest
