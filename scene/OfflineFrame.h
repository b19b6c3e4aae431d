#pragma once
// One frame rendered for the video export, read back to memory.
#include <cstdint>

namespace ProjectTavrin {

struct OfflineFrame {
    /// The read-back image, top row first, rows `rowPitch` bytes apart (a multiple of 256). Null
    /// without a device. Valid until the next offline frame.
    const uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowPitch = 0;
    /// Channel order of the image: B, G, R, A instead of R, G, B, A.
    bool bgra = false;
    /// RenderFrame recorded the frame (false: no scene or no device; the image is then whatever
    /// the output held).
    bool rendered = false;
    /// The animation frame the models and the camera were evaluated at.
    float animationFrame = 0.0f;
    bool physicsReset = false;
    bool cameraMotionDrove = false;
    bool lightMotionDrove = false;
};

}  // namespace ProjectTavrin
