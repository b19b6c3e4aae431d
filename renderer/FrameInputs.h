#pragma once
// What the scene side hands the renderer for one frame.
#include <cstdint>
#include <vector>

#include "Engine/TextureLoader/TextureLoader.h"
#include "renderer/CameraBuffer.h"
#include "renderer/PMXModelGpu.h"

namespace ProjectTavrin {

struct FrameInputs {
    /// Device address of this frame's CameraBuffer slot (already uploaded).
    uint64_t cameraAddress = 0;
    /// The models in scene order; null entries are skipped.
    std::vector<PMXModelGpu*> models;
    /// Frame in flight whose copies of the per-frame buffers the frame reads.
    uint32_t frameIndex = 0;
    /// The frame counter of the update clock (jitter, TAA history).
    uint32_t frameCounter = 0;
    /// Total elapsed time in seconds.
    double totalSeconds = 0;
    /// Length of this frame's step in seconds (motion blur, the flare's fade, the fog's drift).
    double frameSeconds = 1.0 / 30.0;
    /// The camera block as uploaded to `cameraAddress`, in the CPU's row-vector form, for the
    /// passes that work with the camera on the CPU side.
    CameraBuffer camera;
    const Engine::TextureResource* brdfIbl = nullptr;
    const Engine::TextureResource* brdfSkin = nullptr;
};

}  // namespace ProjectTavrin
