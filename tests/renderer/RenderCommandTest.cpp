#include <gtest/gtest.h>

#include "tools/render/RenderCommand.h"

namespace RendererTest {
namespace {

using namespace TavrinRender;

TEST(RenderCommand, ModelsMotionsAndOptions) {
    std::string error;
    const auto c = ParseRenderCommand({"--frames", "0,30,10-12", "a.pmx", "a.VMD", "<Sample>", "--size", "640x360",
                                       "--set", "SunIntensity=3", "--out", "dir", "--camera", "cam.vmd", "b.pmx", "--passes"},
                                      error);
    ASSERT_TRUE(c) << error;
    const std::vector<ProjectTavrin::SceneEntry> entries{
        {u"a.pmx", u"a.VMD"}, {u"<Sample>", u"<None>"}, {u"<Camera>", u"cam.vmd"}, {u"b.pmx", u"<None>"}};
    EXPECT_EQ(c->scene.entries, entries);
    EXPECT_EQ(c->frames, (std::vector<uint32_t>{0, 10, 11, 12, 30}));
    EXPECT_EQ(c->width, 640u);
    EXPECT_EQ(c->height, 360u);
    EXPECT_EQ(c->scene.settings, (std::vector<std::string>{"SunIntensity=3"}));
    EXPECT_EQ(c->outDir, "dir");
    EXPECT_TRUE(c->passes);
    EXPECT_FALSE(c->json);
}

TEST(RenderCommand, BadCommandLinesSayWhy) {
    std::string error;
    EXPECT_FALSE(ParseRenderCommand({"--frames"}, error));
    EXPECT_NE(error.find("needs a value"), std::string::npos);
    EXPECT_FALSE(ParseRenderCommand({"--frames", "5-2"}, error));
    EXPECT_NE(error.find("bad frame list"), std::string::npos);
    EXPECT_FALSE(ParseRenderCommand({"--size", "20x500"}, error));
    EXPECT_FALSE(ParseRenderCommand({"--size", "640*480"}, error));
    EXPECT_FALSE(ParseRenderCommand({"--bogus"}, error));
    EXPECT_NE(error.find("unknown option"), std::string::npos);
    EXPECT_FALSE(ParseRenderCommand({"dance.vmd"}, error));
    EXPECT_NE(error.find("must follow a model"), std::string::npos);
    EXPECT_FALSE(ParseRenderCommand({"a.pmx", "one.vmd", "two.vmd"}, error));
}

TEST(RenderCommand, FrameListsAndSizes) {
    EXPECT_EQ(*ParseFrameList("3"), (std::vector<uint32_t>{3}));
    EXPECT_EQ(*ParseFrameList("4,2,2,3-4"), (std::vector<uint32_t>{2, 3, 4}));
    EXPECT_FALSE(ParseFrameList(""));
    EXPECT_FALSE(ParseFrameList("1,"));
    EXPECT_FALSE(ParseFrameList("-3"));
    EXPECT_FALSE(ParseFrameList("0-4294967295"));  // too many frames
    EXPECT_FALSE(ParseFrameList("0-99", 50));
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(ParseSize("32x16384", w, h));
    EXPECT_EQ(w, 32u);
    EXPECT_EQ(h, 16384u);
    EXPECT_FALSE(ParseSize("31x100", w, h));
    EXPECT_FALSE(ParseSize("100x", w, h));
}

}  // namespace
}  // namespace RendererTest
