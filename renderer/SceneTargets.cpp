#include "renderer/SceneTargets.h"

namespace ProjectTavrin {

using Engine::Platform::Format;

bool IsUsableOutputSize(float width, float height) { return width >= kMinOutputSize && height >= kMinOutputSize; }

PixelSize RenderSizeFor(PixelSize output, uint32_t exportWidth, uint32_t exportHeight) {
    if (exportWidth >= kMinExportSize && exportHeight >= kMinExportSize) return {exportWidth, exportHeight};
    return output;
}

bool SceneTargets::Create(float outputWidth, float outputHeight, uint32_t exportWidth, uint32_t exportHeight,
                          Format outputFormat) {
    if (!IsUsableOutputSize(outputWidth, outputHeight)) return false;
    const PixelSize output{static_cast<uint32_t>(outputWidth), static_cast<uint32_t>(outputHeight)};
    if (!(output == m_outputSize) || outputTemp.Format() != outputFormat) {
        outputTemp.Create(u"OutputTempBuffer", output.width, output.height, outputFormat);
        m_outputSize = output;
    }
    const PixelSize render = RenderSizeFor(output, exportWidth, exportHeight);
    if (render == m_renderSize) return true;

    // The order of creation is the order descriptor slots are first taken in.
    color8Bit.Create(u"SceneColor8BitBuffer", render.width, render.height, Format::R8G8B8A8_UNORM);
    depth.Create(u"SceneDepthBuffer", render.width, render.height, kSceneDepthFormat, false, 1.0f);
    color.Create(u"SceneColorBuffer", render.width, render.height, kSceneColorFormat);
    velocity.Create(u"SceneVelocityBuffer", render.width, render.height, kSceneColorFormat);
    colorMsaa.Create(u"SceneColorMSAABuffer", render.width, render.height, kSceneColorFormat, true);
    depthMsaa.Create(u"SceneDepthMSAABuffer", render.width, render.height, kSceneDepthFormat, true, 1.0f);
    velocityMsaa.Create(u"SceneVelocityMSAABuffer", render.width, render.height, kSceneColorFormat, true);
    m_renderSize = render;
    ++m_generation;
    return true;
}

}  // namespace ProjectTavrin
