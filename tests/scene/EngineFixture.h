#pragma once
// A MainRenderer without a device, on a counter the test moves by hand (1000 counts a second),
// with helpers to load a scene and run loop iterations.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/MessageLog.h"
#include "scene/MainRenderer.h"
#include "tests/scene/SceneFiles.h"

namespace SceneTest {

struct ManualCounter {
    std::shared_ptr<int64_t> now = std::make_shared<int64_t>(1'000);
    ProjectTavrin::StepClock::Counter Source() const {
        return [now = now] { return *now; };
    }
    void Advance(int64_t milliseconds) { *now += milliseconds; }
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }

    ProjectTavrin::MainRenderer& Engine() {
        if (!m_engine) {
            ProjectTavrin::MainRenderer::Options options;
            options.counter = counter.Source();
            options.counterFrequency = 1000;
            options.audio = audio;
            options.postToUi = postToUi;
            m_engine = std::make_unique<ProjectTavrin::MainRenderer>(options);
        }
        return *m_engine;
    }

    /// Loads `entries` and waits for the load; the test fails if it was refused or threw.
    void Load(std::vector<ProjectTavrin::SceneEntry> entries) {
        ASSERT_TRUE(Engine().LoadScene(std::move(entries)));
        ASSERT_EQ(Engine().WaitForSceneTask(), WorkStatus::Completed) << Engine().SceneTaskError();
        ASSERT_TRUE(Engine().IsSceneReady());
    }

    /// Moves the counter by `milliseconds`, then runs one loop iteration.
    void Step(int64_t milliseconds) {
        counter.Advance(milliseconds);
        Engine().RunLoopIteration();
    }

    std::u16string Log() const { return MessageLog::Instance().Peek(); }
    static bool Contains(const std::u16string& text, std::u16string_view part) {
        return text.find(part) != std::u16string::npos;
    }

    ManualCounter counter;
    SceneFiles files;
    /// Set before the first Engine() call to give the engine this audio player and UI poster.
    std::shared_ptr<ProjectTavrin::AudioPlayer> audio;
    ProjectTavrin::UiPoster postToUi;

private:
    std::unique_ptr<ProjectTavrin::MainRenderer> m_engine;
};

}  // namespace SceneTest
