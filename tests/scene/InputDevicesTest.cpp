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
    EXPECT_NO_THROW({ Keyboard k; Mouse m; });  // destruction freed the slots
}

TEST(Keyboard, EventsSetAndClearKeys) {
    Keyboard k;
    // Event types in order; W should be down after each.
    const struct {
        KeyEventType type;
        bool down;
    } events[] = {{KeyEventType::KeyDown, true},         {KeyEventType::KeyUp, false},
                  {KeyEventType::SystemKeyDown, true},   {KeyEventType::Character, true},
                  {KeyEventType::SystemKeyUp, false},    {KeyEventType::SystemCharacter, false}};
    for (const auto& e : events) {
        k.OnKeyEvent(e.type, VK::W, 0x11, false);
        EXPECT_EQ(k.GetState().IsKeyDown(VK::W), e.down) << static_cast<int>(e.type);
    }
    // Modifiers are stored as their left or right codes.
    const struct {
        std::uint32_t key, scan;
        bool extended;
        std::uint32_t stored;
    } modifiers[] = {{VK::Shift, 0x2A, false, VK::LeftShift},     {VK::Shift, 0x36, false, VK::RightShift},
                     {VK::Control, 0x1D, false, VK::LeftControl}, {VK::Control, 0x1D, true, VK::RightControl},
                     {VK::Menu, 0x38, false, VK::LeftMenu},       {VK::Menu, 0x38, true, VK::RightMenu}};
    for (const auto& m : modifiers) {
        k.OnKeyEvent(KeyEventType::KeyDown, m.key, m.scan, m.extended);
        EXPECT_TRUE(k.GetState().IsKeyDown(m.stored)) << m.stored;
        EXPECT_FALSE(k.GetState().IsKeyDown(m.key)) << m.stored;
        k.OnKeyEvent(KeyEventType::KeyUp, m.key, m.scan, m.extended);
        EXPECT_FALSE(k.GetState().IsKeyDown(m.stored)) << m.stored;
    }
    // Right shift down, then left shift up: neither stays down.
    k.OnKeyEvent(KeyEventType::KeyDown, VK::Shift, 0x36, false);
    k.OnKeyEvent(KeyEventType::KeyUp, VK::Shift, 0x2A, false);
    EXPECT_FALSE(k.GetState().IsKeyDown(VK::RightShift));
    // Codes past 254 are never stored, nor aliased onto smaller codes.
    for (std::uint32_t code : {254u, 255u, 0x1FFu, 0x10000u + VK::W}) k.OnKeyEvent(KeyEventType::KeyDown, code, 0, false);
    EXPECT_TRUE(k.GetState().IsKeyDown(254));
    EXPECT_FALSE(k.GetState().IsKeyDown(255));
    EXPECT_FALSE(k.GetState().IsKeyDown(VK::W));
}

TEST(Keyboard, FocusChangeReleasesEveryKey) {
    Keyboard k;
    for (std::uint32_t key : {VK::W, VK::Shift, 254u}) k.OnKeyEvent(KeyEventType::KeyDown, key, 0x2A, false);
    k.OnActivationChanged();
    const Engine::KeyboardState s = k.GetState();
    for (std::uint32_t key = 0; key < 256; ++key) EXPECT_FALSE(s.IsKeyDown(key)) << key;
}

TEST(Mouse, MovementIsReportedByOneReadOnly) {
    Mouse m;
    m.OnRawMovement(3, 4);  // absolute mode: deltas are not kept
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
    EXPECT_EQ(m.GetState().x, 0);
    m.OnRawMovement(1, 1);
    m.SetMode(MouseState::PositionMode::Relative);  // already relative: the movement stays unread
    EXPECT_EQ(m.GetState().x, 1);
}

TEST(Mouse, WheelAndButtonsFromTheMouseOnly) {
    Mouse m;
    m.OnWheel(PointerDeviceType::Mouse, 120);
    for (int i = 0; i < 3; ++i) m.OnWheel(PointerDeviceType::Mouse, 120);
    m.OnWheel(PointerDeviceType::Pen, 120);
    m.OnWheel(PointerDeviceType::Touch, 120);
    EXPECT_EQ(m.GetState().scrollWheelValue, 480);
    EXPECT_EQ(m.GetState().scrollWheelValue, 480);  // reading never resets the total
    m.OnWheel(PointerDeviceType::Mouse, 2147483647);  // wraps instead of overflowing
    EXPECT_EQ(m.GetState().scrollWheelValue, static_cast<std::int32_t>(480u + 2147483647u));

    m.OnPointerButtons(PointerDeviceType::Mouse, {true, false, true, false, true});
    m.OnPointerButtons(PointerDeviceType::Pen, {});
    const MouseState s = m.GetState();
    EXPECT_TRUE(s.leftButton);
    EXPECT_FALSE(s.middleButton);
    EXPECT_TRUE(s.rightButton);
    EXPECT_FALSE(s.xButton1);
    EXPECT_TRUE(s.xButton2);
}

}  // namespace
