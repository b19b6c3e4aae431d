#pragma once
// A MainRenderer on the device with a headless output of the size the test asks for; the message
// log starts empty, and the engine goes before the device checks at the end of the test.
#include <memory>

#include "core/MessageLog.h"
#include "scene/MainRenderer.h"
#include "tests/engine/GpuTest.h"

namespace SceneTest {

class EngineGpuTest : public TavrinTest::GpuTest {
protected:
    EngineGpuTest(float outputWidth, float outputHeight)
        : m_outputWidth(outputWidth), m_outputHeight(outputHeight) {}

    void SetUp() override {
        GpuTest::SetUp();
        if (IsSkipped()) return;
        Core().SetHeadlessOutput(m_outputWidth, m_outputHeight);
        MessageLog::Instance().Clear();
        ProjectTavrin::MainRenderer::Options options;
        options.core = Engine::EngineCore::GetInstance();
        engine = std::make_unique<ProjectTavrin::MainRenderer>(options);
    }
    void TearDown() override {
        engine.reset();
        GpuTest::TearDown();
    }

    std::unique_ptr<ProjectTavrin::MainRenderer> engine;

private:
    float m_outputWidth;
    float m_outputHeight;
};

}  // namespace SceneTest
