#include "scene/Mouse.h"

#include <atomic>
#include <stdexcept>

namespace Engine {

namespace {
std::atomic<bool> g_mouseExists{false};
}

Mouse::Mouse() {
    if (g_mouseExists.exchange(true)) throw std::logic_error("Mouse is a singleton");
}

Mouse::~Mouse() { g_mouseExists.store(false); }

void Mouse::SetMode(MouseState::PositionMode mode) {
    std::lock_guard lock(m_mutex);
    if (mode == m_mode) return;
    if (mode == MouseState::PositionMode::Relative) {
        // The pointer stays visible; only the way movement is reported changes.
        m_movementRead = true;
    }
    m_mode = mode;
}

MouseState Mouse::GetState() {
    std::lock_guard lock(m_mutex);
    MouseState state = m_state;
    if (m_mode == MouseState::PositionMode::Relative) {
        if (m_movementRead) {
            state.x = 0;
            state.y = 0;
        } else {
            m_movementRead = true;
        }
    }
    state.positionMode = m_mode;
    return state;
}

void Mouse::OnPointerButtons(PointerDeviceType device, const PointerButtons& buttons) {
    if (device != PointerDeviceType::Mouse) return;
    std::lock_guard lock(m_mutex);
    m_state.leftButton = buttons.left;
    m_state.middleButton = buttons.middle;
    m_state.rightButton = buttons.right;
    m_state.xButton1 = buttons.x1;
    m_state.xButton2 = buttons.x2;
}

void Mouse::OnWheel(PointerDeviceType device, std::int32_t delta) {
    if (device != PointerDeviceType::Mouse) return;
    std::lock_guard lock(m_mutex);
    // Unsigned addition wraps instead of overflowing a signed total.
    m_state.scrollWheelValue = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_state.scrollWheelValue) +
                                                         static_cast<std::uint32_t>(delta));
}

void Mouse::OnRawMovement(std::int32_t dx, std::int32_t dy) {
    std::lock_guard lock(m_mutex);
    if (m_mode != MouseState::PositionMode::Relative) return;
    m_state.x = dx;
    m_state.y = dy;
    m_movementRead = false;
}

}  // namespace Engine
