#pragma once
// The sub-pixel viewport offsets of temporal anti-aliasing: eight base-2 / base-3 Halton points,
// picked by the frame counter, and the change from the previous frame's offset that the
// temporal blend needs to line the history up with the current image.
#include <array>
#include <cstdint>

#include "core/Math.h"

namespace ProjectTavrin {

inline constexpr std::array<Math::vec2, 8> kJitterSequence = {{
    {0.0f, 0.0f},
    {0.5f, 1.0f / 3.0f},
    {0.25f, 2.0f / 3.0f},
    {0.75f, 1.0f / 9.0f},
    {0.125f, 4.0f / 9.0f},
    {0.625f, 7.0f / 9.0f},
    {0.375f, 2.0f / 9.0f},
    {0.875f, 5.0f / 9.0f},
}};

struct JitterStep {
    Math::vec2 offset;     ///< viewport top-left corner this frame
    Math::vec2 delta;      ///< previous offset minus this one
    uint32_t frame = 0;
    uint32_t historyIndex = 0;  ///< frame mod 2: the history read this frame
};

class TemporalJitter {
public:
    /// The step of frame counter `frame`; it becomes the previous step of the next call.
    JitterStep Next(uint32_t frame);
    Math::vec2 Previous() const { return m_previous; }

private:
    Math::vec2 m_previous{0.5f, 0.5f};
};

}  // namespace ProjectTavrin
