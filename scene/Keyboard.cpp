#include "scene/Keyboard.h"

#include <atomic>
#include <stdexcept>

namespace Engine {

namespace {
std::atomic<bool> g_keyboardExists{false};
}

Keyboard::Keyboard() {
    if (g_keyboardExists.exchange(true)) throw std::logic_error("Keyboard is a singleton");
}

Keyboard::~Keyboard() { g_keyboardExists.store(false); }

KeyboardState Keyboard::GetState() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

void Keyboard::OnActivationChanged() {
    std::lock_guard lock(m_mutex);
    m_state = KeyboardState{};
}

void Keyboard::SetBit(std::uint32_t key, bool down) {
    if (key >= 255) return;
    const std::uint64_t mask = std::uint64_t{1} << (key & 63);
    if (down) {
        m_state.bits[key >> 6] |= mask;
    } else {
        m_state.bits[key >> 6] &= ~mask;
    }
}

void Keyboard::OnKeyEvent(KeyEventType type, std::uint32_t virtualKey, std::uint32_t scanCode, bool isExtendedKey) {
    bool down;
    switch (type) {
        case KeyEventType::KeyDown:
        case KeyEventType::SystemKeyDown:
            down = true;
            break;
        case KeyEventType::KeyUp:
        case KeyEventType::SystemKeyUp:
            down = false;
            break;
        default:
            return;
    }

    std::lock_guard lock(m_mutex);
    switch (virtualKey) {
        case VirtualKey::Shift:
            if (!down) {
                // Which shift went up is not reliable; releasing both keeps neither stuck.
                SetBit(VirtualKey::LeftShift, false);
                SetBit(VirtualKey::RightShift, false);
                return;
            }
            SetBit(scanCode == 0x36 ? VirtualKey::RightShift : VirtualKey::LeftShift, true);
            return;
        case VirtualKey::Control:
            SetBit(isExtendedKey ? VirtualKey::RightControl : VirtualKey::LeftControl, down);
            return;
        case VirtualKey::Menu:
            SetBit(isExtendedKey ? VirtualKey::RightMenu : VirtualKey::LeftMenu, down);
            return;
        default:
            SetBit(virtualKey, down);
            return;
    }
}

}  // namespace Engine
