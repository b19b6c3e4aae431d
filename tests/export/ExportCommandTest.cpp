// tavrin-export's command line: the scene it builds, the options and what it refuses, and the
// default length taken from the motions.
#include <gtest/gtest.h>

#include "export/ExportCommand.h"
#include "tests/scene/SceneFiles.h"
#include "scene/SceneLoader.h"

namespace {

using namespace ProjectTavrin;

ExportCommandParse Parse(std::vector<std::string> args) { return ParseExportCommand(args); }

TEST(ExportCommand, ModelsTakeTheMotionAfterThemAndTheCameraHasItsOwnEntry) {
    const auto parse = Parse({"-o", "out.mp4", "a.pmx", "walk.vmd", "<Sample>", "--camera", "cam.vmd", "B.PMX", "RUN.VMD"});
    ASSERT_TRUE(parse.command) << parse.error;
    const std::vector<SceneEntry> expected = {
        {u"a.pmx", u"walk.vmd"}, {u"<Sample>", u"<None>"}, {u"<Camera>", u"cam.vmd"}, {u"B.PMX", u"RUN.VMD"}};
    EXPECT_EQ(parse.command->entries, expected);
    EXPECT_EQ(parse.command->output, "out.mp4");
}

TEST(ExportCommand, OptionsAndTheirDefaults) {
    const auto defaults = Parse({"-o", "out.mp4"});
    ASSERT_TRUE(defaults.command) << defaults.error;
    EXPECT_EQ(defaults.command->size, (FrameSize{1280, 720}));
    EXPECT_EQ(defaults.command->fps, 30u);
    EXPECT_EQ(defaults.command->bitrate, 8000);
    EXPECT_FALSE(defaults.command->seconds);
    EXPECT_FALSE(defaults.command->serial);

    const auto parse = Parse({"--size", "3440x1440", "--fps", "120", "--bitrate", "20000", "--seconds", "2.5",
                              "--audio", "song.ogg", "--set", "Exposure=1.5", "--serial", "--output", "o.mp4"});
    ASSERT_TRUE(parse.command) << parse.error;
    EXPECT_EQ(parse.command->size, (FrameSize{3440, 1440}));
    EXPECT_EQ(parse.command->fps, 120u);
    EXPECT_EQ(parse.command->bitrate, 20000);
    EXPECT_EQ(parse.command->seconds, 2.5);
    EXPECT_EQ(parse.command->audio, "song.ogg");
    EXPECT_EQ(parse.command->settings, (std::vector<std::string>{"Exposure=1.5"}));
    EXPECT_EQ(parse.command->renderSettings.post.Exposure, 1.5f) << "--set reaches the render settings";
    EXPECT_TRUE(parse.command->serial);
    EXPECT_TRUE(Parse({"--help"}).command->help) << "help needs no output file";
}

TEST(ExportCommand, WrongCommandLinesSayWhat) {
    const std::vector<std::vector<std::string>> bad = {
        {},                                           // no output
        {"-o"},                                       // no file after -o
        {"-o", "o.mp4", "walk.vmd"},                  // a motion before any model
        {"-o", "o.mp4", "a.pmx", "x.vmd", "y.vmd"},   // two motions for one model
        {"-o", "o.mp4", "--camera", "c.vmd", "x.vmd"},
        {"-o", "o.mp4", "notes.txt"},
        {"-o", "o.mp4", "--set", "NoSuchSetting=1"},  // names come from the renderer's table
        {"-o", "o.mp4", "--set", "TaaEnable=maybe"},
        {"-o", "o.mp4", "--set", "Exposure"},
        {"-o", "o.mp4", "--size", "1280x721"},
        {"-o", "o.mp4", "--fps", "0"},
        {"-o", "o.mp4", "--fps", "30fps"},
        {"-o", "o.mp4", "--bitrate", "-1"},
        {"-o", "o.mp4", "--seconds", "-1"},
        {"-o", "o.mp4", "--seconds", "nan"},
        {"-o", "o.mp4", "--set", "=1"},
        {"-o", "o.mp4", "--wat"},
    };
    for (const auto& args : bad) {
        const auto parse = ParseExportCommand(args);
        EXPECT_FALSE(parse.command) << (args.empty() ? "(nothing)" : args.back());
        EXPECT_FALSE(parse.error.empty());
    }
}

TEST(ExportCommand, FramesForSecondsRoundToTheNearestFrame) {
    EXPECT_EQ(ExportFramesForSeconds(10, 60), 600u);
    EXPECT_EQ(ExportFramesForSeconds(0.2, 30), 6u);
    EXPECT_EQ(ExportFramesForSeconds(0, 30), 0u);
    EXPECT_EQ(ExportFramesForSeconds(-1, 30), 0u);
}

TEST(ExportCommand, DefaultLengthIsTheLongestMotion) {
    SceneTest::SceneFiles files;
    Scene scene;
    LoadSceneEntries({{files.Model("a.pmx", u"rig"), files.Motion("walk.vmd")}, {u"<Sample>", u"<None>"}}, scene);
    EXPECT_DOUBLE_EQ(LongestMotionSeconds(scene), 10.0) << "the walk's last key is at frame 300";
    LoadSceneEntries({{u"<Camera>", files.CameraMotion("cam.vmd", -45)}}, scene);
    EXPECT_DOUBLE_EQ(LongestMotionSeconds(scene), 2.0);
    LoadSceneEntries({{u"<Sample>", u"<None>"}}, scene);
    EXPECT_EQ(LongestMotionSeconds(scene), 0.0);
}

}  // namespace
