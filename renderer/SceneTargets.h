#pragma once
// The scene render targets: the multisampled main-draw targets, their single-sample siblings the
// post passes work on, the 8-bit final image and the output-size resample target. The render
// size is the output size, or the export size when both export fields are at least 512; outputs
// below 32 pixels in either direction (a minimised window) change nothing.
#include <cstdint>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "Engine/Platform/Format.h"

namespace ProjectTavrin {

struct PixelSize {
    uint32_t width = 0, height = 0;
    bool operator==(const PixelSize&) const = default;
};

inline constexpr float kMinOutputSize = 32.0f;
inline constexpr uint32_t kMinExportSize = 512;
inline constexpr auto kSceneColorFormat = Engine::Platform::Format::R16G16B16A16_FLOAT;
inline constexpr auto kSceneDepthFormat = Engine::Platform::Format::D32_FLOAT;

/// False for outputs the targets are never sized to.
bool IsUsableOutputSize(float width, float height);
/// The size the scene is rendered at for an output of `output` pixels and the export fields.
PixelSize RenderSizeFor(PixelSize output, uint32_t exportWidth, uint32_t exportHeight);

class SceneTargets {
public:
    /// (Re)creates the targets for an output of `outputWidth` x `outputHeight`; the render-size
    /// targets only when the render size changed. False when the output is too small (nothing
    /// changes).
    bool Create(float outputWidth, float outputHeight, uint32_t exportWidth, uint32_t exportHeight,
                Engine::Platform::Format outputFormat);

    PixelSize RenderSize() const { return m_renderSize; }
    PixelSize OutputSize() const { return m_outputSize; }
    bool IsCreated() const { return m_renderSize.width != 0; }
    /// How many times the render-size targets were made (tests see that a resize kept them).
    uint32_t Generation() const { return m_generation; }

    Engine::ColorBuffer colorMsaa;     // "SceneColorMSAABuffer"
    Engine::ColorBuffer velocityMsaa;  // "SceneVelocityMSAABuffer"
    Engine::DepthBuffer depthMsaa;     // "SceneDepthMSAABuffer"
    Engine::ColorBuffer color;         // "SceneColorBuffer"
    Engine::ColorBuffer velocity;      // "SceneVelocityBuffer"
    Engine::DepthBuffer depth;         // "SceneDepthBuffer"
    Engine::ColorBuffer color8Bit;     // "SceneColor8BitBuffer"
    Engine::ColorBuffer outputTemp;    // "OutputTempBuffer"

private:
    PixelSize m_renderSize;
    PixelSize m_outputSize;
    uint32_t m_generation = 0;
};

}  // namespace ProjectTavrin
