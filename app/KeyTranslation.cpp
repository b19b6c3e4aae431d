#include "app/KeyTranslation.h"

#include <Qt>

#include "scene/Keyboard.h"

namespace TavrinApp {
namespace {

// X key symbols of the right-hand modifier keys.
constexpr std::uint32_t kXkShiftR = 0xFFE2;
constexpr std::uint32_t kXkControlR = 0xFFE4;
constexpr std::uint32_t kXkAltR = 0xFFEA;
constexpr std::uint32_t kRightShiftScanCode = 0x36;

std::uint32_t PlainCode(int key, bool keypad) {
    namespace VK = Engine::VirtualKey;
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<std::uint32_t>(key);  // ASCII letters
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return keypad ? 0x60u + static_cast<std::uint32_t>(key - Qt::Key_0)
                                                            : static_cast<std::uint32_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70u + static_cast<std::uint32_t>(key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Shift: return VK::Shift;
        case Qt::Key_Control: return VK::Control;
        case Qt::Key_Alt: return VK::Menu;
        case Qt::Key_Left: return VK::Left;
        case Qt::Key_Up: return VK::Up;
        case Qt::Key_Right: return VK::Right;
        case Qt::Key_Down: return VK::Down;
        case Qt::Key_Plus: return keypad ? VK::Add : 0xBBu;
        case Qt::Key_Minus: return keypad ? VK::Subtract : 0xBDu;
        case Qt::Key_Backspace: return 0x08;
        case Qt::Key_Tab: return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 0x0D;
        case Qt::Key_Escape: return 0x1B;
        case Qt::Key_Space: return 0x20;
        case Qt::Key_PageUp: return 0x21;
        case Qt::Key_PageDown: return 0x22;
        case Qt::Key_End: return 0x23;
        case Qt::Key_Home: return 0x24;
        case Qt::Key_Insert: return 0x2D;
        case Qt::Key_Delete: return 0x2E;
        default: return 0;
    }
}

}  // namespace

VirtualKeyEvent TranslateKey(int qtKey, std::uint32_t nativeVirtualKey, bool keypad) {
    VirtualKeyEvent out;
    out.virtualKey = PlainCode(qtKey, keypad);
    if (nativeVirtualKey == kXkShiftR) out.scanCode = kRightShiftScanCode;
    out.extended = nativeVirtualKey == kXkControlR || nativeVirtualKey == kXkAltR;
    return out;
}

}  // namespace TavrinApp
