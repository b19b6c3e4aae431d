// The main page's rules: the side panel's toggling, the notices before a scene is ready, the
// status line and the log panel fed from MessageLog, and the error rule of the application.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPushButton>

#include <stdexcept>
#include <thread>

#include "app/AppIcon.h"
#include "app/BlankPage.h"
#include "app/ModelConfigPage.h"
#include "app/ModelLoadPage.h"
#include "app/SettingsPages.h"
#include "app/UiThread.h"
#include "core/MessageLog.h"
#include "tests/app/AppTestSupport.h"

namespace {

using AppTest::PageRig;
using TavrinApp::BlankPage;

template <class Page>
bool Shows(TavrinApp::MainPage& page) {
    return qobject_cast<Page*>(page.PanelPage()) != nullptr;
}

TEST(MainPagePanel, SettingsButtonsToggleAndVideoOutputReopens) {
    PageRig rig;
    rig.MakeSceneReady();
    TavrinApp::MainPage& page = rig.page();
    ASSERT_TRUE(Shows<BlankPage>(page));

    page.ToggleRenderConfig();
    EXPECT_TRUE(Shows<TavrinApp::RenderConfigPage>(page));
    page.ToggleRenderConfig();
    EXPECT_TRUE(Shows<BlankPage>(page));

    // Another settings page switches the panel directly, without closing first.
    page.ToggleRenderConfig();
    page.OpenVideoOutput();
    EXPECT_TRUE(Shows<TavrinApp::VideoOutputPage>(page));

    QWidget* first = page.PanelPage();
    page.OpenVideoOutput();
    EXPECT_TRUE(Shows<TavrinApp::VideoOutputPage>(page));
    EXPECT_NE(page.PanelPage(), first) << "video output makes a fresh page instead of toggling";

    page.ToggleModelConfig();
    EXPECT_TRUE(Shows<TavrinApp::ModelConfigPage>(page));
    page.ToggleRenderConfig();
    EXPECT_TRUE(Shows<TavrinApp::RenderConfigPage>(page)) << "render config over model config switches, not closes";
    page.ToggleModelConfig();
    page.ToggleModelConfig();
    EXPECT_TRUE(Shows<BlankPage>(page));
    EXPECT_TRUE(rig.notices.shown.empty());
}

TEST(MainPagePanel, PageCloseButtonClosesThePanel) {
    PageRig rig;
    rig.MakeSceneReady();
    rig.page().ToggleRenderConfig();
    auto* close = rig.page().PanelPage()->findChild<QPushButton*>("closeButton");
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_TRUE(Shows<BlankPage>(rig.page()));
    AppTest::ProcessEvents();  // the closed page is deleted only now
    EXPECT_TRUE(Shows<BlankPage>(rig.page()));
}

TEST(MainPageBeforeScene, ModelLoadOpensAndEverythingElseShowsTheNotice) {
    PageRig rig;
    TavrinApp::MainPage& page = rig.page();
    page.ToggleRenderConfig();
    page.ToggleModelConfig();
    page.OpenVideoOutput();
    page.PlayPause();
    EXPECT_TRUE(Shows<BlankPage>(page));
    ASSERT_EQ(rig.notices.shown.size(), 4u);
    for (const auto& notice : rig.notices.shown) {
        EXPECT_EQ(notice.title, QStringLiteral("提示"));
        EXPECT_EQ(notice.text, QStringLiteral("你还没加载任何模型呢"));
        EXPECT_EQ(notice.button, QStringLiteral("知道了"));
    }
    EXPECT_TRUE(rig.renderer().GetPlaybackClock().IsPaused());

    page.OpenModelLoadPage();
    EXPECT_TRUE(Shows<TavrinApp::ModelLoadPage>(page));
    QWidget* first = page.PanelPage();
    page.OpenModelLoadPage();
    EXPECT_NE(page.PanelPage(), first) << "model load always makes a new page";
    EXPECT_EQ(rig.notices.shown.size(), 4u);
    EXPECT_FALSE(page.IsLoadedState());
}

TEST(MainPageLog, WorkerThreadMessageReachesTheLogPanelAndEmptiesMessageLog) {
    PageRig rig;
    TavrinApp::MainPage& page = rig.page();
    EXPECT_FALSE(page.IsLogVisible());
    std::thread worker([] { MessageLog::Instance().AppendUtf8("message from a worker"); });
    worker.join();
    ASSERT_EQ(rig.renderer().GetFrameClock().GetFrameCount() % 30, 0u);
    page.UpdateStatus();
    EXPECT_TRUE(page.IsLogVisible());
    EXPECT_TRUE(page.LogText().contains(QStringLiteral("message from a worker")));
    EXPECT_TRUE(MessageLog::Instance().Peek().empty());

    // Later messages are appended below the earlier ones.
    MessageLog::Instance().AppendUtf8("second");
    page.UpdateStatus();
    EXPECT_LT(page.LogText().indexOf("message from a worker"), page.LogText().indexOf("second"));

    page.CloseLog();
    EXPECT_FALSE(page.IsLogVisible());
    EXPECT_TRUE(page.LogText().isEmpty());
}

TEST(MainPageStatus, OnlyEveryThirtiethFrameAndFieldOfViewAtRest) {
    PageRig rig;
    rig.MakeSceneReady();
    ProjectTavrin::MainRenderer& renderer = rig.renderer();
    renderer.RunLoopIteration();
    ASSERT_NE(renderer.GetFrameClock().GetFrameCount() % 30, 0u);
    MessageLog::Instance().AppendUtf8("held back");
    rig.page().UpdateStatus();
    EXPECT_EQ(rig.page().FovText(), QStringLiteral("0.00")) << "updated off the 30-frame rhythm";
    EXPECT_FALSE(rig.page().IsLogVisible());

    for (int i = 0; i < 200 && renderer.GetFrameClock().GetFrameCount() % 30 != 0; ++i) renderer.RunLoopIteration();
    ASSERT_EQ(renderer.GetFrameClock().GetFrameCount() % 30, 0u);
    rig.page().UpdateStatus();
    EXPECT_EQ(rig.page().FovText(), QStringLiteral("45.00"));
    EXPECT_TRUE(rig.page().LogText().contains("held back"));
    bool isNumber = false;
    rig.page().FpsText().toUInt(&isNumber);
    EXPECT_TRUE(isNumber);
}

TEST(MainPageControls, FreeCameraToggleAndResetPhysics) {
    PageRig rig;
    TavrinApp::MainPage& page = rig.page();
    EXPECT_FALSE(page.IsFreeCameraOn());
    page.ToggleFreeCamera();
    EXPECT_TRUE(page.IsFreeCameraOn());
    EXPECT_TRUE(rig.renderer().forceFreeCamera.load());
    page.ToggleFreeCamera();
    EXPECT_FALSE(page.IsFreeCameraOn());
    EXPECT_FALSE(rig.renderer().forceFreeCamera.load());

    rig.renderer().physicsResetRequest.store(false);
    page.ResetPhysics();
    EXPECT_TRUE(rig.renderer().physicsResetRequest.load());
}

TEST(MainPageControls, SeekWithoutAudioLeavesThePlaybackAlone) {
    PageRig rig;
    rig.MakeSceneReady();
    rig.page().SeekToFraction(500);
    EXPECT_EQ(rig.renderer().GetPlaybackClock().GetTotalTicks(), 0u);
    EXPECT_EQ(rig.page().PositionText(), QStringLiteral("00:00:00"));
}

TEST(MainPageDrops, ModelsAndMotionsGoToTheModelLoadPage) {
    PageRig rig;
    TavrinApp::MainPage& page = rig.page();
    EXPECT_FALSE(page.OpenDroppedFiles({"/d/notes.txt"}));
    EXPECT_TRUE(Shows<BlankPage>(page));

    ASSERT_TRUE(page.OpenDroppedFiles({"/d/a.pmx", "/d/a.vmd", "/d/b.pmx"}));
    auto* load = qobject_cast<TavrinApp::ModelLoadPage*>(page.PanelPage());
    ASSERT_NE(load, nullptr);
    ASSERT_EQ(load->Entries().Size(), 2u);
    EXPECT_EQ(load->Entries().At(0).ToSceneEntry(), (ProjectTavrin::SceneEntry{u"/d/a.pmx", u"/d/a.vmd"}));
    EXPECT_EQ(load->Entries().At(1).ToSceneEntry(), (ProjectTavrin::SceneEntry{u"/d/b.pmx", u"<None>"}));

    // A second drop adds to the open page instead of replacing it.
    ASSERT_TRUE(page.OpenDroppedFiles({"/d/b.vmd"}));
    EXPECT_EQ(page.PanelPage(), load);
    EXPECT_EQ(load->Entries().At(1).Vmd, u"/d/b.vmd");

    // PMD models and VPD poses are dropped as models and motions are.
    ASSERT_TRUE(page.OpenDroppedFiles({"/d/old.pmd", "/d/pose.VPD"}));
    ASSERT_EQ(load->Entries().Size(), 3u);
    EXPECT_EQ(load->Entries().At(2).ToSceneEntry(), (ProjectTavrin::SceneEntry{u"/d/old.pmd", u"/d/pose.VPD"}));
}

TEST(AppIcon, GeneratedRasterIsAPlaySymbolOnAnOpaqueTile) {
    AppTest::EnsureApp();
    const QImage icon = TavrinApp::AppIcon().pixmap(64, 64).toImage().convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(icon.size(), QSize(64, 64));
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << "the rounded corner is transparent";
    EXPECT_EQ(icon.pixel(34, 32), qRgba(255, 255, 255, 255)) << "the triangle's middle is white";
    const QRgb tile = icon.pixel(10, 32);
    EXPECT_EQ(qAlpha(tile), 255);
    EXPECT_GT(qBlue(tile), qRed(tile));
}

TEST(AppErrors, ThrowingHandlersBecomeLogMessagesAndTheProgramGoesOn) {
    PageRig rig;
    TavrinApp::PostToUiThread([] { throw std::runtime_error("queued handler failed"); });
    AppTest::ProcessEvents();
    EXPECT_TRUE(QString::fromStdU16String(MessageLog::Instance().Peek()).contains("queued handler failed"));

    // A button whose slot throws, clicked through the event dispatch like a real click.
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, [] { throw std::logic_error("button handler failed"); });
    button.resize(40, 20);
    const QPointF inside(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, inside, button.mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, button.mapToGlobal(inside), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &press);
    QCoreApplication::sendEvent(&button, &release);

    rig.page().UpdateStatus();
    EXPECT_TRUE(rig.page().LogText().contains("queued handler failed"));
    EXPECT_TRUE(rig.page().LogText().contains("button handler failed"));
    EXPECT_TRUE(rig.page().IsLogVisible());
}

}  // namespace
