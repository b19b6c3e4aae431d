// The settings pages in the whole program on a display (Xvfb under ctest) with the CPU Vulkan
// device and the validation layer: every page opens in the side panel, a render setting typed
// on the render configuration page changes the picture in the viewport, and the video output
// page exports two seconds of the demo scene through the real save dialog into a file that
// ffprobe reads as 1280 x 720 H.264 with the scene's sound.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

#include "Engine/EngineCore.h"
#include "app/App.h"
#include "app/CommandLine.h"
#include "app/MainPage.h"
#include "app/MainWindow.h"
#include "app/VideoOutputPage.h"
#include "app/ViewportWindow.h"
#include "core/MessageLog.h"
#include "scene/MainRenderer.h"
#include "tests/app_e2e/EndToEndSupport.h"
#include "tests/export/MediaProbe.h"

namespace {

using EndToEnd::Demo;
using EndToEnd::RunUntil;

/// The class name of the page the side panel shows ("" when none).
std::string PanelClass(TavrinApp::MainPage& page) {
    return page.PanelPage() ? page.PanelPage()->metaObject()->className() : "";
}

QImage GrabViewport(TavrinApp::MainWindow& window) {
    return window.Viewport()->screen()->grabWindow(window.Viewport()->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

/// Mean absolute difference of the colour channels of two pictures of one size, 0 to 255.
double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return -1.0;
    double sum = 0.0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qRed(rowA[x]) - qRed(rowB[x])) + std::abs(qGreen(rowA[x]) - qGreen(rowB[x])) +
                   std::abs(qBlue(rowA[x]) - qBlue(rowB[x]));
    }
    return sum / (3.0 * a.width() * a.height());
}

/// Waits for `frames` more frames of the render loop.
bool WaitFrames(ProjectTavrin::MainRenderer& renderer, uint32_t frames) {
    const uint32_t start = renderer.GetFrameClock().GetFrameCount();
    return RunUntil([&] { return renderer.GetFrameClock().GetFrameCount() >= start + frames; }, 120);
}

TEST(SettingsPagesEndToEnd, PagesOpenARenderSettingChangesThePictureAndTheVideoIsExported) {
    if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
    if (const std::string why = EndToEnd::PrepareDisplayAndDevice(); !why.empty()) GTEST_SKIP() << why;
    // Qt's own dialog, which the test can fill in; a desktop's native one would wait for a person.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    int argc = 1;
    char name[] = "tavrin_settings_end_to_end";
    char* argv[] = {name, nullptr};
    TavrinApp::App app(argc, argv);
    MessageLog::Instance().Clear();
    const std::filesystem::path outDir = std::filesystem::temp_directory_path() / ("tavrin-e2e-" + std::to_string(getpid()));
    std::filesystem::create_directories(outDir);

    TavrinApp::MainWindow window;
    ASSERT_NE(window.Page(), nullptr) << QString::fromStdU16String(MessageLog::Instance().Peek()).toStdString();
    TavrinApp::MainPage& page = *window.Page();
    window.resize(1000, 600);  // a small viewport keeps the CPU device quick
    window.show();
    window.OpenStartScene(TavrinApp::SceneFromArguments(
        {Demo("stage.pmx"), Demo("mannequin.pmx"), Demo("dance.vmd"), Demo("camera.vmd"), Demo("music.wav")}));
    ProjectTavrin::MainRenderer& renderer = ProjectTavrin::MainRenderer::GetInstance();
    Engine::EngineCore& core = *Engine::EngineCore::GetInstance();
    ASSERT_TRUE(RunUntil([&] { return renderer.IsSceneReady(); }, 120)) << "the demo scene did not load";

    // Every page opens in the side panel and its close button closes it.
    const std::pair<void (TavrinApp::MainPage::*)(), const char*> pages[] = {
        {&TavrinApp::MainPage::OpenModelLoadPage, "TavrinApp::ModelLoadPage"},
        {&TavrinApp::MainPage::ToggleModelConfig, "TavrinApp::ModelConfigPage"},
        {&TavrinApp::MainPage::OpenVideoOutput, "TavrinApp::VideoOutputPage"},
        {&TavrinApp::MainPage::ToggleRenderConfig, "TavrinApp::RenderConfigPage"}};
    for (const auto& [open, className] : pages) {
        (page.*open)();
        RunUntil([] { return false; }, 0);
        ASSERT_EQ(PanelClass(page), className);
        EXPECT_TRUE(page.PanelPage()->isVisible()) << className;
        auto* close = page.PanelPage()->findChild<QPushButton*>("closeButton");
        ASSERT_NE(close, nullptr) << className;
        close->click();
        EXPECT_EQ(PanelClass(page), "TavrinApp::BlankPage") << className;
    }

    // A render setting typed on the render configuration page changes the picture. The scene
    // stands still (paused at its start), so two pictures without a change differ only by the
    // anti-aliasing's jitter.
    page.ToggleRenderConfig();
    ASSERT_TRUE(WaitFrames(renderer, 6));
    const QImage before = GrabViewport(window);
    ASSERT_TRUE(WaitFrames(renderer, 3));
    const QImage still = GrabViewport(window);
    const double noise = MeanDifference(before, still);
    ASSERT_GE(noise, 0.0) << "the viewport pictures differ in size";
    auto* sun = page.PanelPage()->findChild<QLineEdit*>("SunIntensity");
    ASSERT_NE(sun, nullptr) << "no sun intensity field on the render configuration page";
    sun->setText("0");
    emit sun->editingFinished();
    ASSERT_TRUE(WaitFrames(renderer, 6));
    const QImage after = GrabViewport(window);
    const double change = MeanDifference(before, after);
    std::printf("viewport %dx%d: picture difference without a change %.2f, after the sun went off %.2f\n", before.width(),
                before.height(), noise, change);
    EXPECT_GT(change, 2.0) << "the picture did not change with the setting";
    EXPECT_GT(change, 4.0 * noise + 0.5) << "the change is lost in the frame-to-frame noise";

    // The video output page: the save dialog starts with the suggested name, the export runs
    // with the close button held off, and the page ends idle with the file in the log.
    page.OpenVideoOutput();
    auto* video = qobject_cast<TavrinApp::VideoOutputPage*>(page.PanelPage());
    ASSERT_NE(video, nullptr);
    const QString target = QString::fromStdString((outDir / "demo").string());
    QString dialogFile, dialogFilter;
    QTimer answer;
    // The dialog fills in its suggested name from events of its own after it shows, which can
    // overwrite a name typed too early: the whole path is typed into its name box until the box
    // has kept it for two ticks in a row, and only then is the dialog accepted.
    int settledTicks = 0;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!nameBox) return;
        if (dialogFile.isEmpty()) {
            const QString shown = dialog->selectedFiles().value(0);
            if (!shown.endsWith(QStringLiteral(".mp4"))) return;
            dialogFile = shown;
            dialogFilter = dialog->selectedNameFilter();
        }
        if (nameBox->text() != target) {
            settledTicks = 0;
            nameBox->setText(target);
            return;
        }
        if (++settledTicks < 2) return;
        answer.stop();
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    answer.start(50);
    QTimer::singleShot(30000, [] {
        if (auto* modal = QApplication::activeModalWidget()) modal->close();
    });
    video->findChild<QPushButton*>("chooseButton")->click();
    answer.stop();
    EXPECT_TRUE(dialogFile.endsWith(QStringLiteral("/Tavrin_Rendered.mp4"))) << dialogFile.toStdString();
    EXPECT_EQ(dialogFilter, QStringLiteral("视频文件 (*.mp4)"));
    ASSERT_EQ(video->OutputFile(), target + ".mp4");

    video->findChild<QComboBox*>("sizeList")->setCurrentIndex(0);
    video->findChild<QComboBox*>("rateList")->setCurrentIndex(0);
    video->findChild<QLineEdit*>("secondsField")->setText("2");
    video->findChild<QPushButton*>("exportButton")->click();
    ASSERT_TRUE(video->IsExporting()) << page.LogText().toStdString();
    EXPECT_EQ(video->ButtonSymbol(), TavrinApp::ExportSymbol::Cancel);
    video->findChild<QPushButton*>("closeButton")->click();
    EXPECT_EQ(page.PanelPage(), video) << "the close button closed the panel during the export";
    QElapsedTimer exportTime;
    exportTime.start();
    ASSERT_TRUE(RunUntil([&] { return !video->IsExporting(); }, 500)) << "the export did not end";
    std::printf("exported 60 frames at 1280x720 in %.1f s\n", exportTime.elapsed() / 1000.0);
    EXPECT_EQ(video->ButtonSymbol(), TavrinApp::ExportSymbol::Play);
    const QString expected = QStringLiteral("Video written to %1.mp4 (60 frames)").arg(target);
    EXPECT_TRUE(RunUntil([&] { return page.LogText().contains(expected); }, 60)) << page.LogText().toStdString();

    const std::vector<ExportTest::StreamInfo> streams = ExportTest::ProbeStreams(outDir / "demo.mp4");
    ASSERT_EQ(streams.size(), 2u) << "a video and a sound stream";
    EXPECT_EQ(streams[0].at("codec_name"), "h264");
    EXPECT_EQ(streams[0].at("width"), "1280");
    EXPECT_EQ(streams[0].at("height"), "720");
    EXPECT_EQ(ExportTest::ToInt(streams[0], "nb_frames"), 60);
    EXPECT_EQ(streams[1].at("codec_name"), "aac");

    // The real-time loop runs again at the viewport's size.
    EXPECT_TRUE(renderer.IsRenderLoopRunning());
    EXPECT_TRUE(WaitFrames(renderer, 3));
    const qreal ratio = window.Viewport()->devicePixelRatio();
    EXPECT_EQ(static_cast<int>(core.GetOutputWidth()), qRound(window.Viewport()->width() * ratio));
    video->findChild<QPushButton*>("closeButton")->click();
    EXPECT_EQ(PanelClass(page), "TavrinApp::BlankPage");

    window.close();
    EXPECT_FALSE(renderer.IsRenderLoopRunning());
    EXPECT_NE(renderer.RenderLoopStatus(), WorkStatus::Error) << "a frame of the loop threw";
    EXPECT_EQ(core.GetDevice()->ValidationMessageCount(), 0u) << core.GetDevice()->LastValidationMessage();
    EXPECT_FALSE(core.IsDeviceLost());
    std::error_code ignored;
    std::filesystem::remove_all(outDir, ignored);
}

}  // namespace
