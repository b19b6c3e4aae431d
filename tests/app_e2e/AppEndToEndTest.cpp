// The whole program on a display (Xvfb under ctest) with the CPU Vulkan device: the main window
// opens on the demo scene, plays it, shows the model in the viewport, moves the free camera on
// key presses, follows a resize and closes cleanly, with the validation layer watching.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QScreen>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "Engine/EngineCore.h"
#include "app/App.h"
#include "app/CommandLine.h"
#include "app/MainPage.h"
#include "app/MainWindow.h"
#include "app/ModelLoadPage.h"
#include "app/ViewportWindow.h"
#include "core/MessageLog.h"
#include "scene/MainRenderer.h"
#include "tests/app_e2e/EndToEndSupport.h"

namespace {

using EndToEnd::Demo;
using EndToEnd::RunUntil;
using EndToEnd::UiTimes;

/// Distinct colours in the middle of the viewport's picture on screen (coarsely quantised).
int DistinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = image.height() / 4; y < image.height() * 3 / 4; y += 3)
        for (int x = image.width() / 4; x < image.width() * 3 / 4; x += 3) colours.insert(image.pixel(x, y) & 0xF0F0F0u);
    return static_cast<int>(colours.size());
}

TEST(AppEndToEnd, PlaysTheDemoSceneMovesTheCameraResizesAndQuits) {
    if (const std::string why = EndToEnd::PrepareDisplayAndDevice(); !why.empty()) GTEST_SKIP() << why;
    int argc = 1;
    char name[] = "tavrin_app_end_to_end";
    char* argv[] = {name, nullptr};
    TavrinApp::App app(argc, argv);
    MessageLog::Instance().Clear();

    TavrinApp::MainWindow window;
    ASSERT_NE(window.Page(), nullptr) << QString::fromStdU16String(MessageLog::Instance().Peek()).toStdString();
    window.resize(1288, 804);  // a 1280 x 720 viewport
    window.show();
    window.OpenStartScene(TavrinApp::SceneFromArguments(
        {Demo("stage.pmx"), Demo("mannequin.pmx"), Demo("dance.vmd"), Demo("camera.vmd"), Demo("music.wav")}));
    ProjectTavrin::MainRenderer& renderer = ProjectTavrin::MainRenderer::GetInstance();
    Engine::EngineCore& core = *Engine::EngineCore::GetInstance();
    ASSERT_TRUE(RunUntil([&] { return renderer.IsSceneReady(); }, 120)) << "the demo scene did not load";
    EXPECT_TRUE(renderer.IsRenderLoopRunning());

    // Play a few seconds of the dance.
    window.Page()->PlayPause();
    ASSERT_TRUE(RunUntil([&] { return renderer.GetPlaybackClock().GetTotalSeconds() > 1.5; }, 60));
    const uint32_t framesBefore = renderer.GetFrameClock().GetFrameCount();
    UiTimes ui;
    ASSERT_TRUE(RunUntil([&] { return renderer.GetFrameClock().GetFrameCount() > framesBefore + 3; }, 60, &ui));
    // The figures for the record: the UI thread's time per event round next to the frame rate.
    std::printf("viewport %dx%d, %u frames per second, UI event rounds: %lld, mean %.2f ms, longest %.2f ms\n",
                static_cast<int>(core.GetOutputWidth()), static_cast<int>(core.GetOutputHeight()),
                renderer.GetFrameClock().GetFramesPerSecond(), static_cast<long long>(ui.rounds),
                ui.totalNs / 1e6 / std::max<qint64>(ui.rounds, 1), ui.longestNs / 1e6);

    // The picture on screen is the model, not just the clear colour.
    const QImage shot = window.Viewport()->screen()->grabWindow(window.Viewport()->winId()).toImage();
    ASSERT_FALSE(shot.isNull());
    shot.save(QStringLiteral("tavrin_app_end_to_end.png"));
    EXPECT_GT(DistinctColours(shot), 20) << "the viewport shows a flat picture";

    // The free camera, forced on, walks forward while W is held over the viewport.
    window.Page()->ToggleFreeCamera();
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(window.Viewport(), &enter);
    Math::vec3 start;
    {
        auto lock = renderer.LockEngine();
        start = renderer.GetCamera().position;
    }
    QKeyEvent press(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier, QStringLiteral("w"));
    QCoreApplication::sendEvent(window.Viewport(), &press);
    EXPECT_TRUE(renderer.GetKeyboard().GetState().IsKeyDown(Engine::VirtualKey::W));
    const bool moved = RunUntil([&] {
        auto lock = renderer.LockEngine();
        const Math::vec3 now = renderer.GetCamera().position;
        return now.x != start.x || now.y != start.y || now.z != start.z;
    }, 60);
    EXPECT_TRUE(moved) << "W did not move the free camera";
    QFocusEvent focusOut(QEvent::FocusOut);
    QCoreApplication::sendEvent(window.Viewport(), &focusOut);
    EXPECT_FALSE(renderer.GetKeyboard().GetState().IsKeyDown(Engine::VirtualKey::W)) << "focus loss keeps a key down";

    // A resize reaches the engine's output.
    window.resize(700, 560);
    const auto expected = [&] {
        const qreal ratio = window.Viewport()->devicePixelRatio();
        return QSize(qRound(window.Viewport()->width() * ratio), qRound(window.Viewport()->height() * ratio));
    };
    EXPECT_TRUE(RunUntil([&] {
        auto lock = renderer.LockEngine();
        return QSize(static_cast<int>(core.GetOutputWidth()), static_cast<int>(core.GetOutputHeight())) == expected();
    }, 30));
    const uint32_t framesAfterResize = renderer.GetFrameClock().GetFrameCount();
    EXPECT_TRUE(RunUntil([&] { return renderer.GetFrameClock().GetFrameCount() > framesAfterResize + 2; }, 60));

    // A model dropped on the viewport lands on the model load page.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Demo("mannequin.pmx"))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.Viewport(), &drop);
    auto* load = qobject_cast<TavrinApp::ModelLoadPage*>(window.Page()->PanelPage());
    ASSERT_NE(load, nullptr);
    ASSERT_EQ(load->Entries().Size(), 1u);
    EXPECT_EQ(QString::fromStdU16String(load->Entries().At(0).Pmx), Demo("mannequin.pmx"));
    RunUntil([] { return false; }, 1);

    window.close();
    EXPECT_FALSE(renderer.IsRenderLoopRunning());
    EXPECT_NE(renderer.RenderLoopStatus(), WorkStatus::Error) << "a frame of the loop threw";
    EXPECT_EQ(core.GetDevice()->ValidationMessageCount(), 0u) << core.GetDevice()->LastValidationMessage();
    EXPECT_FALSE(core.IsDeviceLost());
}

}  // namespace
