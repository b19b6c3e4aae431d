#pragma once
// Keyboard state for the free camera: one bit per Windows virtual-key code, kept current by the
// window's key events. The window layer (Qt on this platform) translates its key events into
// virtual-key codes and feeds them in; the camera samples the state once per update.
#include <array>
#include <cstdint>
#include <mutex>

namespace Engine {

/// Windows virtual-key codes that the engine reads.
namespace VirtualKey {
inline constexpr std::uint32_t Shift = 0x10;
inline constexpr std::uint32_t Control = 0x11;
inline constexpr std::uint32_t Menu = 0x12;
inline constexpr std::uint32_t Left = 0x25;
inline constexpr std::uint32_t Up = 0x26;
inline constexpr std::uint32_t Right = 0x27;
inline constexpr std::uint32_t Down = 0x28;
inline constexpr std::uint32_t A = 'A';
inline constexpr std::uint32_t C = 'C';
inline constexpr std::uint32_t D = 'D';
inline constexpr std::uint32_t E = 'E';
inline constexpr std::uint32_t F = 'F';
inline constexpr std::uint32_t Q = 'Q';
inline constexpr std::uint32_t R = 'R';
inline constexpr std::uint32_t S = 'S';
inline constexpr std::uint32_t W = 'W';
inline constexpr std::uint32_t Add = 0x6B;       ///< numeric keypad plus
inline constexpr std::uint32_t Subtract = 0x6D;  ///< numeric keypad minus
inline constexpr std::uint32_t LeftShift = 0xA0;
inline constexpr std::uint32_t RightShift = 0xA1;
inline constexpr std::uint32_t LeftControl = 0xA2;
inline constexpr std::uint32_t RightControl = 0xA3;
inline constexpr std::uint32_t LeftMenu = 0xA4;
inline constexpr std::uint32_t RightMenu = 0xA5;
}  // namespace VirtualKey

/// 256 bits, one per virtual-key code; a set bit means the key is down. Code 255 is never set.
struct KeyboardState {
    std::array<std::uint64_t, 4> bits{};

    bool IsKeyDown(std::uint32_t key) const {
        return key < 256 && (bits[key >> 6] >> (key & 63) & 1u) != 0;
    }
};

/// Accelerator-key event kinds (the values of the platform's event type).
enum class KeyEventType : std::uint32_t {
    KeyDown = 0,
    KeyUp = 1,
    Character = 2,
    DeadCharacter = 3,
    SystemKeyDown = 4,
    SystemKeyUp = 5,
    SystemCharacter = 6,
    SystemDeadCharacter = 7,
    UnicodeCharacter = 8,
};

/// The process-wide keyboard. Events arrive on the UI thread, GetState is called on the render
/// thread; the state is guarded by the keyboard's own lock.
class Keyboard {
public:
    /// Throws std::logic_error("Keyboard is a singleton") when another keyboard exists.
    Keyboard();
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    /// Copy of the 256 bits.
    KeyboardState GetState() const;

    /// The window was activated or deactivated: every key is released, so none stays stuck
    /// after focus moves elsewhere.
    void OnActivationChanged();

    /// One key event. Down and system-down press the key, up and system-up release it, other
    /// types are ignored. Shift, Control and Menu are stored as their left/right codes: Shift
    /// is right shift for scan code 0x36, Control and Menu are the right keys when extended.
    /// Releasing Shift releases both shift keys. Codes above 254 are ignored.
    void OnKeyEvent(KeyEventType type, std::uint32_t virtualKey, std::uint32_t scanCode, bool isExtendedKey);

private:
    void SetBit(std::uint32_t key, bool down);

    mutable std::mutex m_mutex;
    KeyboardState m_state;
};

}  // namespace Engine
