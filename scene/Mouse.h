#pragma once
// Mouse state for the free camera. The window layer (Qt on this platform) feeds pointer buttons,
// wheel deltas and raw movement deltas; the camera samples the state once per update.
#include <cstdint>
#include <mutex>

namespace Engine {

struct MouseState {
    enum class PositionMode : std::int32_t { Absolute = 0, Relative = 1 };

    bool leftButton = false;
    bool middleButton = false;
    bool rightButton = false;
    bool xButton1 = false;
    bool xButton2 = false;
    /// Relative mode: the most recent raw movement in device counts, reported by one read only.
    std::int32_t x = 0;
    std::int32_t y = 0;
    /// Running total of every wheel delta since start (120 per notch; grows when the wheel is
    /// turned away from the user). Never reset.
    std::int32_t scrollWheelValue = 0;
    PositionMode positionMode = PositionMode::Absolute;
};

/// Kind of device behind a pointer event; only mouse events change the state.
enum class PointerDeviceType : std::int32_t { Touch = 0, Pen = 1, Mouse = 2 };

/// Pointer buttons held, as a pointer event reports them.
struct PointerButtons {
    bool left = false;
    bool middle = false;
    bool right = false;
    bool x1 = false;
    bool x2 = false;
};

/// The process-wide mouse. Events arrive on the UI thread, GetState is called on the render
/// thread; the state is guarded by the mouse's own lock.
class Mouse {
public:
    /// Zero state, absolute mode. Throws std::logic_error("Mouse is a singleton") when another
    /// mouse exists.
    Mouse();
    ~Mouse();
    Mouse(const Mouse&) = delete;
    Mouse& operator=(const Mouse&) = delete;

    /// Switching to relative mode marks the current movement as read, so the first read after
    /// the switch reports no movement. Switching to the mode already set does nothing.
    void SetMode(MouseState::PositionMode mode);

    /// Copy of the state. In relative mode each movement is reported by exactly one read; later
    /// reads give 0, 0 until the next movement.
    MouseState GetState();

    /// Pointer pressed, released or moved: the buttons it reports are now held.
    void OnPointerButtons(PointerDeviceType device, const PointerButtons& buttons);
    /// Wheel turned by delta (120 per notch). The total wraps around rather than overflowing.
    void OnWheel(PointerDeviceType device, std::int32_t delta);
    /// Raw relative movement (relative mode only). Replaces any unread movement; deltas are not
    /// summed between reads.
    void OnRawMovement(std::int32_t dx, std::int32_t dy);

private:
    std::mutex m_mutex;
    MouseState m_state;
    MouseState::PositionMode m_mode = MouseState::PositionMode::Absolute;
    bool m_movementRead = false;
};

}  // namespace Engine
