// Per-pass GPU times over many frames, and tavrin-render's report of them.
#include <gtest/gtest.h>

#include "renderer/GpuPassTimes.h"
#include "shaders/check/JsonValue.h"
#include "tools/render/GpuTimeReport.h"

namespace {

using Engine::Platform::TimedFrame;
using Engine::Platform::TimedScope;
using ProjectTavrin::GpuPassTimes;

TimedScope Scope(const char* name, int32_t parent, double ms) {
    TimedScope s;
    s.name = name;
    s.parent = parent;
    s.depth = parent < 0 ? 0 : 1;
    s.milliseconds = ms;
    return s;
}

TimedFrame Frame(double ms, std::vector<TimedScope> scopes) {
    TimedFrame f;
    f.milliseconds = ms;
    f.scopes = std::move(scopes);
    return f;
}

// Two frames: the second opens "RenderModel" twice inside "Main Draw" (one sample, both times
// added), adds a pass inside "Main Draw" after the first frame's, and runs a top-level pass that
// shares a nested pass's name.
GpuPassTimes TwoFrames() {
    GpuPassTimes times;
    times.Add(Frame(5.0, {Scope("Main Draw", -1, 2.0), Scope("RenderModel", 0, 1.5), Scope("Resolve", -1, 1.0),
                          Scope("ResolveDepth", 2, 0.25)}));
    times.Add(Frame(7.0, {Scope("Main Draw", -1, 3.0), Scope("RenderModel", 0, 0.5), Scope("RenderModel", 0, 0.75),
                          Scope("Resolve", -1, 0.5), Scope("ResolveDepth", 3, 0.125), Scope("Sky", 0, 0.25),
                          Scope("RenderModel", -1, 0.0625)}));
    return times;
}

TEST(GpuPassTimes, GathersMeanMinAndMaxPerPlace) {
    const GpuPassTimes times = TwoFrames();
    EXPECT_EQ(times.Frame().frames, 2u);
    EXPECT_DOUBLE_EQ(times.Frame().MeanMs(), 6.0);
    EXPECT_DOUBLE_EQ(times.Frame().minMs, 5.0);
    EXPECT_DOUBLE_EQ(times.Frame().maxMs, 7.0);

    const auto* model = times.Find("Main Draw/RenderModel");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->time.frames, 2u);
    EXPECT_DOUBLE_EQ(model->time.minMs, 1.25);
    EXPECT_DOUBLE_EQ(model->time.maxMs, 1.5);
    EXPECT_EQ(model->depth, 1u);

    const auto* depth = times.Find("Resolve/ResolveDepth");
    ASSERT_NE(depth, nullptr);
    EXPECT_DOUBLE_EQ(depth->time.MeanMs(), 0.1875);

    const auto* topModel = times.Find("RenderModel");
    ASSERT_NE(topModel, nullptr);
    EXPECT_EQ(topModel->time.frames, 1u);
    EXPECT_EQ(topModel->depth, 0u);
    EXPECT_DOUBLE_EQ(topModel->time.MeanMs(), 0.0625);
}

TEST(GpuPassTimes, KeepsNestedPassesUnderTheirParentInOrder) {
    const GpuPassTimes times = TwoFrames();
    std::vector<std::string> paths;
    for (const auto& p : times.Passes()) paths.push_back(p.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"Main Draw", "Main Draw/RenderModel", "Main Draw/Sky", "Resolve",
                                               "Resolve/ResolveDepth", "RenderModel"}));
}

TEST(GpuTimeReport, JsonCarriesEveryPassAndTheFrame) {
    const auto parsed = ShaderCheck::ParseJson(TavrinRender::GpuTimesJson(TwoFrames(), true));
    ASSERT_TRUE(parsed.Ok()) << parsed.error;
    const auto& root = parsed.value;
    EXPECT_TRUE(root["available"].AsBool());
    EXPECT_DOUBLE_EQ(root["frame"]["mean_ms"].AsNumber(), 6.0);
    EXPECT_DOUBLE_EQ(root["frame"]["frames"].AsNumber(), 2.0);
    const auto& passes = root["passes"].Items();
    ASSERT_EQ(passes.size(), 6u);
    EXPECT_EQ(passes[1]["path"].AsString(), "Main Draw/RenderModel");
    EXPECT_EQ(passes[1]["name"].AsString(), "RenderModel");
    EXPECT_DOUBLE_EQ(passes[1]["depth"].AsNumber(), 1.0);
    EXPECT_DOUBLE_EQ(passes[1]["max_ms"].AsNumber(), 1.5);
    EXPECT_DOUBLE_EQ(passes[1]["min_ms"].AsNumber(), 1.25);

    const auto none = ShaderCheck::ParseJson(TavrinRender::GpuTimesJson(GpuPassTimes{}, false));
    ASSERT_TRUE(none.Ok());
    EXPECT_FALSE(none.value["available"].AsBool(true));
    EXPECT_FALSE(none.value.Has("passes"));
}

TEST(GpuTimeReport, TextIndentsNestedPassesOrSaysWhyThereAreNone) {
    const std::string text = TavrinRender::GpuTimesText(TwoFrames(), true);
    EXPECT_NE(text.find("over 2 frames"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  Main Draw "), std::string::npos) << text;
    EXPECT_NE(text.find("\n    RenderModel "), std::string::npos) << text;
    EXPECT_NE(text.find("\n  RenderModel "), std::string::npos) << text;
    EXPECT_NE(TavrinRender::GpuTimesText(GpuPassTimes{}, false).find("not available"), std::string::npos);
}

}  // namespace
