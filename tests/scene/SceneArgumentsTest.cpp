// The scene part of the headless commands' command lines: models and their motions, the camera
// entry, --set checked against the renderer's setting names, and the sample as the fallback.
#include <gtest/gtest.h>

#include "scene/SceneArguments.h"

namespace {

using namespace ProjectTavrin;

/// Feeds every argument through TakeSceneArgument; stops at the first that is not Taken.
SceneArgumentResult TakeAll(const std::vector<std::string>& args, SceneArguments& scene, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const SceneArgumentResult result = TakeSceneArgument(args, i, scene, error);
        if (result != SceneArgumentResult::Taken) return result;
    }
    return SceneArgumentResult::Taken;
}

TEST(SceneArguments, ModelsMotionsCameraAndSettingsInOrder) {
    SceneArguments scene;
    std::string error;
    ASSERT_EQ(TakeAll({"a.PMX", "a.vmd", "--set", "SunIntensity=3", "<Sample>", "--camera", "c.vmd", "b.pmx", "old.PMD",
                       "pose.VPD", "--set", "SunFromMotion=false"},
                      scene, error),
              SceneArgumentResult::Taken)
        << error;
    const std::vector<SceneEntry> expected{{u"a.PMX", u"a.vmd"},   {u"<Sample>", u"<None>"}, {u"<Camera>", u"c.vmd"},
                                           {u"b.pmx", u"<None>"}, {u"old.PMD", u"pose.VPD"}};
    EXPECT_EQ(scene.entries, expected);
    EXPECT_EQ(scene.settings, (std::vector<std::string>{"SunIntensity=3", "SunFromMotion=false"}));
    ProjectTavrin::FrameSettings settings;
    ASSERT_TRUE(ProjectTavrin::ApplySettingAssignments(settings, scene.settings, error)) << error;
    EXPECT_FALSE(settings.render.SunFromMotion) << "the switch is reachable with --set";
}

TEST(SceneArguments, CommandOptionsAreLeftToTheCommandAndMistakesSayWhy) {
    SceneArguments scene;
    std::string error;
    std::size_t i = 0;
    EXPECT_EQ(TakeSceneArgument({"--size", "64x64"}, i, scene, error), SceneArgumentResult::NotScene);
    EXPECT_EQ(i, 0u) << "an argument that is not the scene's is not consumed";
    EXPECT_TRUE(scene.entries.empty());

    const std::vector<std::vector<std::string>> bad = {
        {"walk.vmd"},                       // motion without a model
        {"a.pmx", "x.vmd", "y.vmd"},        // two motions
        {"--camera", "c.vmd", "x.vmd"},     // a camera takes no model motion
        {"notes.txt"},                      // neither model nor motion
        {"--camera"},                       // value missing
        {"--set"},
        {"--set", "NoEquals"},
        {"--set", "=3"},
        {"--environment"},
        {"--lut"},
    };
    for (const auto& args : bad) {
        SceneArguments s;
        error.clear();
        EXPECT_EQ(TakeAll(args, s, error), SceneArgumentResult::Bad) << args.back();
        EXPECT_FALSE(error.empty()) << args.back();
    }
}

TEST(SceneArguments, SettingsApplyInOrderAndStopAtAnUnknownName) {
    FrameSettings settings;
    std::string error;
    ASSERT_TRUE(ApplySettingAssignments(settings, {"Exposure=2", "TaaEnable=false", "Exposure=3"}, error)) << error;
    EXPECT_EQ(settings.post.Exposure, 3.0f);
    EXPECT_FALSE(settings.render.TaaEnable);

    FrameSettings untouched;
    EXPECT_FALSE(ApplySettingAssignments(untouched, {"NoSuchSetting=1"}, error));
    EXPECT_NE(error.find("NoSuchSetting"), std::string::npos) << error;
    EXPECT_FALSE(ApplySettingAssignments(untouched, {"TaaEnable=perhaps"}, error));
    EXPECT_TRUE(untouched.render.TaaEnable);
}

// The short forms name the same settings as --set would, in their place among the others: the
// environment also switches the sky on, as choosing one on the configuration page does.
TEST(SceneArguments, EnvironmentAndLutAreShortFormsOfTheirSettings) {
    SceneArguments scene;
    std::string error;
    ASSERT_EQ(TakeAll({"--set", "IBL_Enable=0", "--environment", "<Sample>", "--lut", "/films/warm.cube", "--set", "Exposure=2"},
                      scene, error),
              SceneArgumentResult::Taken)
        << error;
    EXPECT_EQ(scene.settings, (std::vector<std::string>{"IBL_Enable=0", "EnvironmentFile=<Sample>", "IBL_Enable=1",
                                                        "ColorFilterLutFile=/films/warm.cube", "Exposure=2"}));
    FrameSettings settings;
    ASSERT_TRUE(ApplySettingAssignments(settings, scene.settings, error)) << error;
    EXPECT_EQ(settings.post.EnvironmentFile, "<Sample>");
    EXPECT_EQ(settings.render.config.IBL_Enable, 1);
    EXPECT_EQ(settings.post.ColorFilterLutFile, "/films/warm.cube");
}

TEST(SceneArguments, TheSampleStandsInWhenNoModelIsGiven) {
    const std::vector<SceneEntry> cameraOnly{{u"<Camera>", u"c.vmd"}};
    const std::vector<SceneEntry> withSample{{u"<Sample>", u"<None>"}, {u"<Camera>", u"c.vmd"}};
    EXPECT_EQ(EntriesOrSample(cameraOnly), withSample);
    EXPECT_EQ(EntriesOrSample({}), (std::vector<SceneEntry>{{u"<Sample>", u"<None>"}}));
    const std::vector<SceneEntry> model{{u"a.pmx", u"<None>"}};
    EXPECT_EQ(EntriesOrSample(model), model);
}

}  // namespace
