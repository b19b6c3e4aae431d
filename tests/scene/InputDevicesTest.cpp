#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "scene/Keyboard.h"
#include "scene/Mouse.h"

namespace {

using Engine::Keyboard;
using Engine::KeyEventType;
using Engine::Mouse;
using Engine::MouseState;
using Engine::PointerDeviceType;
namespace VK = Engine::VirtualKey;

void Press(Keyboard& k, std::uint32_t key, std::uint32_t scan = 0, bool extended = false) {
    k.OnKeyEvent(KeyEventType::KeyDown, key, scan, extended);
}
void Release(Keyboard& k, std::uint32_t key, std::uint32_t scan = 0, bool extended = false) {
    k.OnKeyEvent(KeyEventType::KeyUp, key, scan, extended);
}

template <class Device>
std::string SecondInstanceMessage() {
    Device first;
    try {
        Device second;
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no exception";
}

TEST(InputDevices, OnlyOneInstanceOfEach) {
    EXPECT_EQ(SecondInstanceMessage<Keyboard>(), "Keyboard is a singleton");
    EXPECT_EQ(SecondInstanceMessage<Mouse>(), "Mouse is a singleton");
    // The slot is freed with the instance (and the failed second one did not take it).
    EXPECT_NO_THROW({ Keyboard k; Mouse m; });
}

TEST(Keyboard, PressAndReleaseByEventType) {
    Keyboard k;
    struct Case {
        KeyEventType type;
        bool downAfter;
    };
    const Case cases[] = {{KeyEventType::KeyDown, true},        {KeyEventType::KeyUp, false},
                          {KeyEventType::SystemKeyDown, true},  {KeyEventType::Character, true},
                          {KeyEventType::DeadCharacter, true},  {KeyEventType::SystemKeyUp, false},
                          {KeyEventType::SystemCharacter, false}, {KeyEventType::UnicodeCharacter, false}};
    for (const Case& c : cases) {
        k.OnKeyEvent(c.type, VK::W, 0x11, false);
        EXPECT_EQ(k.GetState().IsKeyDown(VK::W), c.downAfter) << static_cast<int>(c.type);
    }
    EXPECT_FALSE(k.GetState().IsKeyDown(VK::S));
}

TEST(Keyboard, ModifiersAreStoredAsLeftOrRightKeys) {
    Keyboard k;
    struct Case {
        std::uint32_t key, scan;
        bool extended;
        std::uint32_t stored;
    };
    const Case cases[] = {{VK::Shift, 0x2A, false, VK::LeftShift},     {VK::Shift, 0x36, false, VK::RightShift},
                          {VK::Control, 0x1D, false, VK::LeftControl}, {VK::Control, 0x1D, true, VK::RightControl},
                          {VK::Menu, 0x38, false, VK::LeftMenu},       {VK::Menu, 0x38, true, VK::RightMenu}};
    for (const Case& c : cases) {
        Press(k, c.key, c.scan, c.extended);
        const Engine::KeyboardState s = k.GetState();
        EXPECT_TRUE(s.IsKeyDown(c.stored)) << c.stored;
        EXPECT_FALSE(s.IsKeyDown(c.key)) << c.stored;
        Release(k, c.key, c.scan, c.extended);
        EXPECT_FALSE(k.GetState().IsKeyDown(c.stored)) << c.stored;
    }
}

TEST(Keyboard, ShiftReleaseClearsBothShifts) {
    Keyboard k;
    Press(k, VK::Shift, 0x36);  // right shift down
    Press(k, VK::Shift, 0x2A);  // left shift down
    Release(k, VK::Shift, 0x2A);  // left shift up
    EXPECT_FALSE(k.GetState().IsKeyDown(VK::LeftShift));
    EXPECT_FALSE(k.GetState().IsKeyDown(VK::RightShift));
}

TEST(Keyboard, FocusChangeReleasesEveryKey) {
    Keyboard k;
    Press(k, VK::W);
    Press(k, VK::Shift, 0x2A);
    Press(k, 254);
    k.OnActivationChanged();  // switched to another window
    k.OnActivationChanged();  // and back
    const Engine::KeyboardState s = k.GetState();
    for (std::uint32_t key = 0; key < 256; ++key) EXPECT_FALSE(s.IsKeyDown(key)) << key;
}

TEST(Keyboard, CodesOutsideTheStoredRangeAreIgnored) {
    Keyboard k;
    Press(k, 254);
    Press(k, 255);
    Press(k, 0x1FF);   // would alias 255 if masked
    Press(k, 0x10057);  // would alias W if masked
    const Engine::KeyboardState s = k.GetState();
    EXPECT_TRUE(s.IsKeyDown(254));
    EXPECT_FALSE(s.IsKeyDown(255));
    EXPECT_FALSE(s.IsKeyDown(VK::W));
    EXPECT_FALSE(s.IsKeyDown(1000));
}

TEST(Mouse, MovementIsReportedByOneReadOnly) {
    Mouse m;
    m.OnRawMovement(3, 4);  // absolute mode: no deltas are kept
    m.SetMode(MouseState::PositionMode::Relative);
    MouseState s = m.GetState();
    EXPECT_EQ(s.positionMode, MouseState::PositionMode::Relative);
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 0);

    m.OnRawMovement(5, -2);
    m.OnRawMovement(-7, 9);  // replaces, not added
    s = m.GetState();
    EXPECT_EQ(s.x, -7);
    EXPECT_EQ(s.y, 9);
    s = m.GetState();
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 0);

    m.OnRawMovement(1, 1);
    m.SetMode(MouseState::PositionMode::Relative);  // already relative: the movement stays unread
    EXPECT_EQ(m.GetState().x, 1);
}

TEST(Mouse, WheelTotalGrowsAndIsNeverReset) {
    Mouse m;
    m.SetMode(MouseState::PositionMode::Relative);
    m.OnWheel(PointerDeviceType::Mouse, 120);
    const int before = m.GetState().scrollWheelValue;
    for (int i = 0; i < 3; ++i) m.OnWheel(PointerDeviceType::Mouse, 120);
    EXPECT_EQ(m.GetState().scrollWheelValue, before + 360);
    EXPECT_EQ(m.GetState().scrollWheelValue, before + 360);  // reading does not reset it
    m.OnWheel(PointerDeviceType::Touch, 120);
    m.OnWheel(PointerDeviceType::Pen, 120);
    EXPECT_EQ(m.GetState().scrollWheelValue, before + 360);
    m.OnWheel(PointerDeviceType::Mouse, -240);
    EXPECT_EQ(m.GetState().scrollWheelValue, before + 120);
}

TEST(Mouse, WheelTotalWrapsInsteadOfOverflowing) {
    Mouse m;
    m.OnWheel(PointerDeviceType::Mouse, 2147483600);
    m.OnWheel(PointerDeviceType::Mouse, 120);
    EXPECT_EQ(m.GetState().scrollWheelValue, static_cast<std::int32_t>(2147483600u + 120u));
}

TEST(Mouse, ButtonsComeFromMousePointerEventsOnly) {
    Mouse m;
    m.OnPointerButtons(PointerDeviceType::Mouse, {true, false, true, false, true});
    MouseState s = m.GetState();
    EXPECT_TRUE(s.leftButton);
    EXPECT_FALSE(s.middleButton);
    EXPECT_TRUE(s.rightButton);
    EXPECT_FALSE(s.xButton1);
    EXPECT_TRUE(s.xButton2);
    m.OnPointerButtons(PointerDeviceType::Pen, {});
    m.OnPointerButtons(PointerDeviceType::Touch, {});
    EXPECT_TRUE(m.GetState().leftButton);
    m.OnPointerButtons(PointerDeviceType::Mouse, {false, true, false, true, false});
    s = m.GetState();
    EXPECT_FALSE(s.leftButton);
    EXPECT_TRUE(s.middleButton);
    EXPECT_TRUE(s.xButton1);
}

}  // namespace
