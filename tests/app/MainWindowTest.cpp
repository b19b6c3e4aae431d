// Without a window system that can show Vulkan (the offscreen platform here) or without a device,
// the main window still opens and says why, instead of ending the program.
#include <gtest/gtest.h>

#include <QLabel>

#include "app/MainWindow.h"
#include "core/MessageLog.h"
#include "tests/app/AppTestSupport.h"

namespace {

TEST(MainWindowStart, WithoutAVulkanWindowTheWindowShowsTheReason) {
    AppTest::EnsureApp();
    MessageLog::Instance().Clear();
    TavrinApp::MainWindow window;
    EXPECT_EQ(window.Page(), nullptr);
    EXPECT_EQ(window.Viewport(), nullptr);
    auto* reason = window.findChild<QLabel*>("startFailure");
    ASSERT_NE(reason, nullptr);
    EXPECT_TRUE(reason->text().contains("Failed to load Page MainPage"));
    EXPECT_GT(reason->text().size(), QStringLiteral("Failed to load Page MainPage").size() + 2) << "the cause is missing";
    EXPECT_TRUE(QString::fromStdU16String(MessageLog::Instance().Peek()).contains("Failed to load Page MainPage"));

    // Opening a scene without the engine does nothing rather than failing.
    window.OpenStartScene(TavrinApp::SceneFromArguments({"/d/a.pmx"}));
    window.close();
    MessageLog::Instance().Clear();
}

}  // namespace
