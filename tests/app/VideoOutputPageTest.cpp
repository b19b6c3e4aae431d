// The video output page: what the lists and fields put into the export, numbers refused before
// anything starts, the file picker's rules, the message without a file, and, on the main page,
// exports that run on: the close button held off, cancel, a second export refused from another
// page, and a short export of the sample scene on the device read back with ffprobe.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/BlankPage.h"
#include "app/PanelHost.h"
#include "app/VideoOutputPage.h"
#include "core/MessageLog.h"
#include "export/ExportSettings.h"
#include "export/VideoExport.h"
#include "scene/VideoLibrary.h"
#include "tests/app/AppTestSupport.h"
#include "tests/engine/GpuTest.h"
#include "tests/export/MediaProbe.h"

namespace {

using TavrinApp::ExportSymbol;
using TavrinApp::VideoOutputPage;

/// Records what the page asks of its host; exports are taken down, never run.
struct ExportHost : TavrinApp::PanelHost {
    std::vector<std::string> calls;
    std::vector<ProjectTavrin::ExportJob> jobs;
    void Stop() override { calls.push_back("Stop"); }
    void ShowLoadedState() override { calls.push_back("ShowLoadedState"); }
    void ClosePanel() override { calls.push_back("ClosePanel"); }
    std::shared_ptr<ProjectTavrin::ExportSession> StartExport(ProjectTavrin::ExportJob job) override {
        calls.push_back("StartExport");
        jobs.push_back(std::move(job));
        return nullptr;
    }
};

struct PickerCall {
    QString caption, startPath, filter;
};

QString LogText() { return QString::fromStdU16String(MessageLog::Instance().Peek()); }

template <class Done>
bool RunUntil(Done done, int seconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

QLineEdit* Field(QWidget& page, const char* name) { return page.findChild<QLineEdit*>(name); }
QComboBox* List(QWidget& page, const char* name) { return page.findChild<QComboBox*>(name); }
void Press(QWidget& page, const char* name) { page.findChild<QPushButton*>(name)->click(); }

class VideoOutputPageTest : public testing::Test {
protected:
    VideoOutputPageTest() {
        AppTest::EnsureApp();
        MessageLog::Instance().Clear();
        page = std::make_unique<VideoOutputPage>(host, [this](QWidget*, const QString& caption, const QString& start,
                                                              const QString& filter) {
            pickerCalls.push_back({caption, start, filter});
            return picked;
        });
    }

    /// Chooses `name` in the test folder as the output file.
    QString Choose(const std::string& name) {
        picked = QString::fromStdString((files.Dir() / name).string());
        page->ChooseFile();
        return picked;
    }

    AppTest::FileFolder files;
    ExportHost host;
    QString picked;
    std::vector<PickerCall> pickerCalls;
    std::unique_ptr<VideoOutputPage> page;
};

TEST_F(VideoOutputPageTest, ListsAndFieldsMakeTheJob) {
    const QString file = Choose("clip.mp4");
    ASSERT_EQ(List(*page, "sizeList")->count(), 7);
    ASSERT_EQ(List(*page, "rateList")->count(), 3);
    const ProjectTavrin::FrameSize sizes[7] = {{1280, 720},  {1920, 1080}, {2560, 1080}, {2560, 1440},
                                               {3440, 1440}, {3840, 1600}, {4096, 2160}};
    const uint32_t rates[3] = {30, 60, 120};
    Field(*page, "secondsField")->setText("3");
    Field(*page, "bitrateField")->setText(" 8000 ");
    for (int i = 0; i < 7; ++i) {
        List(*page, "sizeList")->setCurrentIndex(i);
        List(*page, "rateList")->setCurrentIndex(i % 3);
        Press(*page, "exportButton");
        ASSERT_EQ(host.jobs.size(), static_cast<size_t>(i + 1));
        const ProjectTavrin::ExportJob& job = host.jobs.back();
        EXPECT_EQ(job.width, sizes[i].width) << "size entry " << i;
        EXPECT_EQ(job.height, sizes[i].height) << "size entry " << i;
        EXPECT_EQ(job.fps, rates[i % 3]);
        EXPECT_EQ(job.frameCount, rates[i % 3] * 3);
        EXPECT_EQ(job.bitrate, 8000);
        EXPECT_EQ(ProjectTavrin::EncoderBitsPerSecond(job.bitrate), 8192000) << "the encoder is asked for x 1024 bit/s";
        EXPECT_EQ(QString::fromStdString(job.output.string()), file);
        EXPECT_TRUE(job.onProgress && job.onFinished);
    }
    // Playback is stopped before every start; the refused starts leave the page idle.
    for (size_t i = 0; i < host.calls.size(); i += 2) {
        EXPECT_EQ(host.calls[i], "Stop");
        EXPECT_EQ(host.calls[i + 1], "StartExport");
    }
    EXPECT_FALSE(page->IsExporting());
    EXPECT_EQ(page->ButtonSymbol(), ExportSymbol::Play);
    EXPECT_TRUE(page->ErrorText().isEmpty());
}

TEST_F(VideoOutputPageTest, BadNumbersAreMarkedAndNothingStarts) {
    Choose("clip.mp4");
    struct Case {
        const char* field;
        const char* text;
    };
    const Case cases[] = {{"bitrateField", ""},          {"bitrateField", "abc"},  {"bitrateField", "8000kb"},
                          {"bitrateField", "-5"},        {"bitrateField", "0"},    {"bitrateField", "1e4"},
                          {"bitrateField", "99999999999"}, {"bitrateField", "1000001"}, {"secondsField", "0"},
                          {"secondsField", "2.5"},       {"secondsField", "+3"},   {"secondsField", "86401"},
                          {"secondsField", "２"}};
    for (const Case& c : cases) {
        Field(*page, "bitrateField")->setText("8000");
        Field(*page, "secondsField")->setText("2");
        Field(*page, c.field)->setText(QString::fromUtf8(c.text));
        Press(*page, "exportButton");
        EXPECT_TRUE(host.calls.empty()) << c.field << " '" << c.text << "' started something";
        EXPECT_TRUE(Field(*page, c.field)->property("badValue").toBool()) << c.field << " '" << c.text << "'";
        const char* other = std::string(c.field) == "bitrateField" ? "secondsField" : "bitrateField";
        EXPECT_FALSE(Field(*page, other)->property("badValue").toBool());
        EXPECT_FALSE(page->ErrorText().isEmpty());
        EXPECT_EQ(page->ButtonSymbol(), ExportSymbol::Play);
        EXPECT_FALSE(page->IsExporting());
    }
    EXPECT_TRUE(page->ErrorText().contains("length", Qt::CaseInsensitive));

    // Both bad: both marked, the bitrate's message shown.
    Field(*page, "bitrateField")->setText("x");
    Field(*page, "secondsField")->setText("y");
    Press(*page, "exportButton");
    EXPECT_TRUE(Field(*page, "bitrateField")->property("badValue").toBool());
    EXPECT_TRUE(Field(*page, "secondsField")->property("badValue").toBool());
    EXPECT_TRUE(page->ErrorText().contains("bitrate", Qt::CaseInsensitive));

    // Corrected, the marks and the message go and the export is asked for.
    Field(*page, "bitrateField")->setText("1000000");
    Field(*page, "secondsField")->setText("1");
    Press(*page, "exportButton");
    EXPECT_FALSE(Field(*page, "bitrateField")->property("badValue").toBool());
    EXPECT_FALSE(Field(*page, "secondsField")->property("badValue").toBool());
    EXPECT_TRUE(page->ErrorText().isEmpty());
    ASSERT_EQ(host.jobs.size(), 1u);
    EXPECT_EQ(host.jobs[0].bitrate, 1000000);
    EXPECT_TRUE(MessageLog::Instance().Peek().empty());
}

TEST_F(VideoOutputPageTest, WithoutAFileTheMessageIsLoggedAndNothingStarts) {
    Press(*page, "exportButton");
    EXPECT_EQ(LogText(), QStringLiteral("文件输出路径有误，请检查！\r\n"));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(page->ButtonSymbol(), ExportSymbol::Play);

    // A bad number does not matter yet: the missing file is reported first.
    MessageLog::Instance().Clear();
    Field(*page, "bitrateField")->setText("abc");
    Press(*page, "exportButton");
    EXPECT_EQ(LogText(), QStringLiteral("文件输出路径有误，请检查！\r\n"));
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(VideoOutputPageTest, PickerStartsInTheVideosFolderAddsMp4AndCancelKeepsTheChoice) {
    const QString first = Choose("take one");
    ASSERT_EQ(pickerCalls.size(), 1u);
    EXPECT_EQ(pickerCalls[0].filter, QStringLiteral("视频文件 (*.mp4)"));
    EXPECT_EQ(QFileInfo(pickerCalls[0].startPath).fileName(), QStringLiteral("Tavrin_Rendered.mp4"));
    const std::filesystem::path videos = ProjectTavrin::VideosDirectory();
    if (!videos.empty()) {
        EXPECT_EQ(QFileInfo(pickerCalls[0].startPath).absolutePath(), QDir(QString::fromStdString(videos.string())).absolutePath());
    }
    EXPECT_EQ(page->OutputFile(), first + ".mp4");
    EXPECT_EQ(page->findChild<QLabel*>("pathText")->text(), first + ".mp4");

    picked.clear();
    page->ChooseFile();
    EXPECT_EQ(page->OutputFile(), first + ".mp4") << "a cancelled picker changed the choice";
    EXPECT_EQ(page->findChild<QLabel*>("pathText")->text(), first + ".mp4");

    const QString upper = Choose("Second.MP4");
    EXPECT_EQ(page->OutputFile(), upper) << "an .mp4 name in capitals keeps its own extension";

    // A relative answer becomes a full path.
    picked = QStringLiteral("relative-name");
    page->ChooseFile();
    EXPECT_EQ(page->OutputFile(), QDir::current().absoluteFilePath("relative-name.mp4"));
}

TEST(VideoOutputEndMessage, NamesTheFileWhateverItsCharacters) {
    ProjectTavrin::ExportReport report;
    report.opened = report.finalised = true;
    report.framesWritten = 60;
    const QString file = QStringLiteral("/videos/50%2 off %1.mp4");
    EXPECT_EQ(TavrinApp::ExportEndMessage(report, file), QStringLiteral("Video written to /videos/50%2 off %1.mp4 (60 frames)."));
    report.canceled = true;
    report.framesWritten = 7;
    EXPECT_EQ(TavrinApp::ExportEndMessage(report, file),
              QStringLiteral("Export cancelled: /videos/50%2 off %1.mp4 holds the 7 frames written before."));
    report.finalised = false;
    EXPECT_EQ(TavrinApp::ExportEndMessage(report, file), QStringLiteral("No video was written to /videos/50%2 off %1.mp4."));
}

/// The main page over the engine object without a device: exports run, but render no pixels.
class VideoOutputOnMainPage : public testing::Test {
protected:
    VideoOutputOnMainPage() {
        rig.MakeSceneReady();
        rig.page().OpenVideoOutput();
    }
    ~VideoOutputOnMainPage() override {
        rig.page().FinishExport();
        AppTest::ProcessEvents();
    }

    VideoOutputPage* Page() { return qobject_cast<VideoOutputPage*>(rig.page().PanelPage()); }

    /// Starts an export far too long to end by itself during the test.
    void StartLongExport(VideoOutputPage& page, const std::string& name) {
        rig.savePick = QString::fromStdString((rig.files.Dir() / name).string());
        page.ChooseFile();
        Field(page, "secondsField")->setText(QString::number(VideoOutputPage::kMaxSeconds));
        List(page, "rateList")->setCurrentIndex(0);
        Press(page, "exportButton");
    }

    AppTest::PageRig rig;
};

TEST_F(VideoOutputOnMainPage, CloseIsIgnoredDuringAnExportAndCancelEndsIt) {
    VideoOutputPage* page = Page();
    ASSERT_NE(page, nullptr);
    ASSERT_NE(rig.renderer().PlayPause(), ProjectTavrin::PlaybackState::NoScene);
    ASSERT_FALSE(rig.renderer().GetPlaybackClock().IsPaused());

    StartLongExport(*page, "long.mp4");
    ASSERT_TRUE(page->IsExporting()) << LogText().toStdString();
    EXPECT_EQ(page->ButtonSymbol(), ExportSymbol::Cancel);
    EXPECT_TRUE(ProjectTavrin::ExportSession::AnyRunning());
    EXPECT_TRUE(rig.renderer().GetPlaybackClock().IsPaused()) << "playback goes on during the export";
    {
        // Holding the engine lock keeps the export between frames while the page is worked.
        auto lock = rig.renderer().LockEngine();
        Press(*page, "closeButton");
        EXPECT_EQ(Page(), page) << "the close button closed the panel during the export";
        Press(*page, "exportButton");
        EXPECT_FALSE(page->IsExporting());
        EXPECT_EQ(page->ButtonSymbol(), ExportSymbol::Play);
    }
    ASSERT_TRUE(RunUntil([] { return !ProjectTavrin::ExportSession::AnyRunning(); }, 60)) << "cancel did not end the export";
    AppTest::ProcessEvents();
    EXPECT_TRUE(LogText().contains(QStringLiteral("Export cancelled: ") + page->OutputFile())) << LogText().toStdString();
    EXPECT_EQ(page->ButtonSymbol(), ExportSymbol::Play);

    // Idle again: the close button closes.
    Press(*page, "closeButton");
    EXPECT_NE(qobject_cast<TavrinApp::BlankPage*>(rig.page().PanelPage()), nullptr);
}

TEST_F(VideoOutputOnMainPage, AnExportOutlivesItsPageAndRefusesASecondOneFromAnotherPage) {
    VideoOutputPage* first = Page();
    ASSERT_NE(first, nullptr);
    StartLongExport(*first, "first.mp4");
    ASSERT_TRUE(first->IsExporting());
    const QString firstFile = first->OutputFile();

    // The panel makes a new page during the export; the old one is deleted, the export goes on.
    rig.page().OpenVideoOutput();
    VideoOutputPage* second = Page();
    ASSERT_NE(second, first);
    AppTest::ProcessEvents();
    EXPECT_TRUE(ProjectTavrin::ExportSession::AnyRunning());
    EXPECT_FALSE(second->IsExporting()) << "a new page sees no export of its own";

    MessageLog::Instance().Clear();
    StartLongExport(*second, "second.mp4");
    EXPECT_FALSE(second->IsExporting());
    EXPECT_EQ(second->ButtonSymbol(), ExportSymbol::Play);
    EXPECT_TRUE(LogText().contains(QString::fromStdU16String(std::u16string(ProjectTavrin::kExportAlreadyRunningMessage))))
        << LogText().toStdString();
    EXPECT_FALSE(std::filesystem::exists(rig.files.Dir() / "second.mp4"));

    // The new page is idle, so it closes; the first export ends when the main page finishes it.
    Press(*second, "closeButton");
    EXPECT_NE(qobject_cast<TavrinApp::BlankPage*>(rig.page().PanelPage()), nullptr);
    rig.page().FinishExport();
    EXPECT_FALSE(ProjectTavrin::ExportSession::AnyRunning());
    AppTest::ProcessEvents();
    EXPECT_TRUE(LogText().contains(QStringLiteral("Export cancelled: ") + firstFile)) << "the log hears of the end without its page";
}

/// A short export of the sample scene on the device (validation layer on), read back with ffprobe.
class VideoOutputExport : public TavrinTest::GpuTest {
protected:
    void SetUp() override {
        GpuTest::SetUp();
        if (IsSkipped()) return;
        if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
        Core().SetHeadlessOutput(64, 48);
        rig = std::make_unique<AppTest::PageRig>(TavrinApp::DeviceSupport::Supported, Engine::EngineCore::GetInstance());
        ASSERT_TRUE(rig->renderer().LoadScene({{u"<Sample>", u"<None>"}}));
        ASSERT_EQ(rig->renderer().WaitForSceneTask(), WorkStatus::Completed) << rig->renderer().SceneTaskError();
        MessageLog::Instance().Clear();
    }
    void TearDown() override {
        rig.reset();
        GpuTest::TearDown();
    }

    std::unique_ptr<AppTest::PageRig> rig;
};

TEST_F(VideoOutputExport, ShortExportEndsIdleWithThePlayableFileAndItsPathInTheLog) {
    rig->page().OpenVideoOutput();
    auto* page = qobject_cast<VideoOutputPage*>(rig->page().PanelPage());
    ASSERT_NE(page, nullptr);
    rig->savePick = QString::fromStdString((rig->files.Dir() / "sample").string());
    page->ChooseFile();
    List(*page, "sizeList")->setCurrentIndex(0);
    List(*page, "rateList")->setCurrentIndex(0);
    Field(*page, "bitrateField")->setText("2000");
    Field(*page, "secondsField")->setText("1");
    Press(*page, "exportButton");
    ASSERT_TRUE(page->IsExporting()) << LogText().toStdString();

    ASSERT_TRUE(RunUntil([&] { return !page->IsExporting(); }, 300)) << "the export did not end";
    EXPECT_EQ(page->ButtonSymbol(), ExportSymbol::Play);
    auto* progress = page->findChild<QProgressBar*>("progressBar");
    EXPECT_EQ(progress->value(), 100);
    EXPECT_TRUE(progress->format().startsWith(QStringLiteral("30 / 30 frames"))) << progress->format().toStdString();
    const std::filesystem::path file = rig->files.Dir() / "sample.mp4";
    EXPECT_TRUE(LogText().contains(QStringLiteral("Video written to %1 (30 frames)").arg(QString::fromStdString(file.string()))))
        << LogText().toStdString();
    EXPECT_EQ(Core().GetOutputWidth(), 64.0f) << "the output is back at its own size";

    const auto streams = ExportTest::ProbeStreams(file);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].at("codec_name"), "h264");
    EXPECT_EQ(streams[0].at("width"), "1280");
    EXPECT_EQ(streams[0].at("height"), "720");
    EXPECT_NEAR(ExportTest::ToDouble(streams[0], "duration"), 1.0, 1e-6) << "not 30 frames a second";
    EXPECT_EQ(streams[0].at("avg_frame_rate"), "30/1");
    EXPECT_EQ(ExportTest::ToInt(streams[0], "nb_frames"), 30);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();

    // Idle again, the close button closes the panel.
    Press(*page, "closeButton");
    EXPECT_NE(qobject_cast<TavrinApp::BlankPage*>(rig->page().PanelPage()), nullptr);
}

}  // namespace
