// The translations at the program's edges: Qt keys to virtual-key codes, the command line to
// a scene, and the device's version to the load check.
#include <gtest/gtest.h>

#include <Qt>

#include "app/CommandLine.h"
#include "app/DeviceCheck.h"
#include "app/KeyTranslation.h"
#include "scene/Keyboard.h"

namespace {

using TavrinApp::TranslateKey;
namespace VK = Engine::VirtualKey;

TEST(KeyTranslation, CameraKeysMapToTheirCodes) {
    EXPECT_EQ(TranslateKey(Qt::Key_W, 0, false).virtualKey, VK::W);
    EXPECT_EQ(TranslateKey(Qt::Key_Q, 0, false).virtualKey, VK::Q);
    EXPECT_EQ(TranslateKey(Qt::Key_Left, 0, false).virtualKey, VK::Left);
    EXPECT_EQ(TranslateKey(Qt::Key_Down, 0, false).virtualKey, VK::Down);
    EXPECT_EQ(TranslateKey(Qt::Key_Plus, 0, true).virtualKey, VK::Add);
    EXPECT_EQ(TranslateKey(Qt::Key_Minus, 0, true).virtualKey, VK::Subtract);
    EXPECT_NE(TranslateKey(Qt::Key_Plus, 0, false).virtualKey, VK::Add) << "only the keypad's plus zooms";
    EXPECT_EQ(TranslateKey(Qt::Key_5, 0, false).virtualKey, static_cast<uint32_t>('5'));
    EXPECT_EQ(TranslateKey(Qt::Key_5, 0, true).virtualKey, 0x65u);
    EXPECT_EQ(TranslateKey(Qt::Key_F3, 0, false).virtualKey, 0x72u);
    EXPECT_EQ(TranslateKey(Qt::Key_Eacute, 0, false).virtualKey, 0u);
}

TEST(KeyTranslation, RightModifiersReachTheirOwnBits) {
    Engine::Keyboard keyboard;
    auto press = [&](int key, uint32_t keysym, bool down) {
        const auto event = TranslateKey(key, keysym, false);
        keyboard.OnKeyEvent(down ? Engine::KeyEventType::KeyDown : Engine::KeyEventType::KeyUp, event.virtualKey,
                            event.scanCode, event.extended);
    };
    press(Qt::Key_Shift, 0xFFE2, true);
    press(Qt::Key_Control, 0xFFE4, true);
    press(Qt::Key_Alt, 0xFFEA, true);
    Engine::KeyboardState state = keyboard.GetState();
    EXPECT_TRUE(state.IsKeyDown(VK::RightShift));
    EXPECT_TRUE(state.IsKeyDown(VK::RightControl));
    EXPECT_TRUE(state.IsKeyDown(VK::RightMenu));
    EXPECT_FALSE(state.IsKeyDown(VK::LeftShift));

    press(Qt::Key_Shift, 0xFFE1, true);
    press(Qt::Key_Control, 0xFFE3, true);
    state = keyboard.GetState();
    EXPECT_TRUE(state.IsKeyDown(VK::LeftShift));
    EXPECT_TRUE(state.IsKeyDown(VK::LeftControl));

    // Releasing the left shift lets go of both.
    press(Qt::Key_Shift, 0xFFE1, false);
    state = keyboard.GetState();
    EXPECT_FALSE(state.IsKeyDown(VK::LeftShift));
    EXPECT_FALSE(state.IsKeyDown(VK::RightShift));
}

TEST(CommandLine, ModelsTakeTheFollowingMotionAndSpareMotionsDriveTheCamera) {
    const auto scene = TavrinApp::SceneFromArguments(
        {"/d/stage.pmx", "/d/mannequin.PMX", "/d/dance.vmd", "/d/camera.vmd", "/d/music.wav", "/d/notes.txt"});
    ASSERT_EQ(scene.entries.size(), 3u);
    EXPECT_EQ(scene.entries[0], (ProjectTavrin::SceneEntry{u"/d/stage.pmx", u"<None>"}));
    EXPECT_EQ(scene.entries[1], (ProjectTavrin::SceneEntry{u"/d/mannequin.PMX", u"/d/dance.vmd"}));
    EXPECT_EQ(scene.entries[2], (ProjectTavrin::SceneEntry{u"<Camera>", u"/d/camera.vmd"}));
    EXPECT_EQ(scene.audio, QStringLiteral("/d/music.wav"));
    EXPECT_EQ(scene.ignored, QStringList{"/d/notes.txt"});

    const auto cameraFirst = TavrinApp::SceneFromArguments({"/d/camera.vmd", "/d/a.pmx"});
    ASSERT_EQ(cameraFirst.entries.size(), 2u);
    EXPECT_TRUE(cameraFirst.entries[0].IsCamera());
    EXPECT_FALSE(cameraFirst.entries[1].HasMotion());
    EXPECT_TRUE(TavrinApp::SceneFromArguments({}).entries.empty());

    // PMD models and VPD poses stand where PMX models and VMD motions do.
    const auto older = TavrinApp::SceneFromArguments({"/d/old.PMD", "/d/pose.vpd", "/d/cam.vmd"});
    ASSERT_EQ(older.entries.size(), 2u);
    EXPECT_EQ(older.entries[0], (ProjectTavrin::SceneEntry{u"/d/old.PMD", u"/d/pose.vpd"}));
    EXPECT_TRUE(older.entries[1].IsCamera());

    // Camera motions and the audio named by option come after the files.
    const auto options = TavrinApp::SceneFromArguments({"/d/a.pmx", "/d/song.mp3"}, {"/d/cam1.vmd", "/d/cam2.vmd"}, "/d/music.wav");
    ASSERT_EQ(options.entries.size(), 3u);
    EXPECT_EQ(options.entries[1], (ProjectTavrin::SceneEntry{u"<Camera>", u"/d/cam1.vmd"}));
    EXPECT_EQ(options.entries[2], (ProjectTavrin::SceneEntry{u"<Camera>", u"/d/cam2.vmd"}));
    EXPECT_EQ(options.audio, QStringLiteral("/d/music.wav"));
}

TEST(DeviceCheck, NeedsVulkanOneThree) {
    auto version = [](uint32_t major, uint32_t minor) { return major << 22 | minor << 12 | 7u; };
    EXPECT_EQ(TavrinApp::SupportForApiVersion(version(1, 2)), TavrinApp::DeviceSupport::Unsupported);
    EXPECT_EQ(TavrinApp::SupportForApiVersion(version(1, 3)), TavrinApp::DeviceSupport::Supported);
    EXPECT_EQ(TavrinApp::SupportForApiVersion(version(1, 4)), TavrinApp::DeviceSupport::Supported);
    EXPECT_EQ(TavrinApp::SupportForApiVersion(version(2, 0)), TavrinApp::DeviceSupport::Supported);
    EXPECT_EQ(TavrinApp::SupportForApiVersion(0), TavrinApp::DeviceSupport::Unsupported);
}

}  // namespace
