#pragma once
// Qt key events as the virtual-key codes the engine's keyboard keeps. X11 tells the left and
// right modifier keys apart only through the key symbol, so that is passed along.
#include <cstdint>

namespace TavrinApp {

struct VirtualKeyEvent {
    std::uint32_t virtualKey = 0;  ///< 0: a key the engine has no code for
    std::uint32_t scanCode = 0;    ///< 0x36 for the right shift key, else 0
    bool extended = false;         ///< the right Control and Alt keys
};

/// `qtKey` is a Qt::Key, `nativeVirtualKey` the X key symbol (0 where the platform has none),
/// `keypad` whether the key is on the numeric keypad.
VirtualKeyEvent TranslateKey(int qtKey, std::uint32_t nativeVirtualKey, bool keypad);

}  // namespace TavrinApp
