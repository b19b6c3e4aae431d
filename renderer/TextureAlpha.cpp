#include "renderer/TextureAlpha.h"

#include <limits>

#include "Engine/TextureLoader/StbImage.h"
#include "core/FileIO.h"

namespace ProjectTavrin {

TextureAlpha ClassifyAlpha(std::span<const uint8_t> rgba) {
    const std::size_t texels = rgba.size() / 4;
    std::size_t soft = 0;
    bool transparent = false;
    for (std::size_t i = 0; i < texels; ++i) {
        const uint8_t a = rgba[i * 4 + 3];
        if (a <= kCutOutTolerance) transparent = true;
        else if (a < 255 - kCutOutTolerance) ++soft;
    }
    if (soft > 0 && soft * 1000 > texels) return TextureAlpha::Soft;
    return transparent ? TextureAlpha::CutOut : TextureAlpha::Opaque;
}

TextureAlpha ClassifyTextureFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return TextureAlpha::Opaque;
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return TextureAlpha::Opaque;
    int width = 0, height = 0;
    const char* failure = nullptr;
    Engine::StbPixels pixels = Engine::StbLoadRgba(bytes, Engine::StbDecoder::AnyImage, width, height, failure);
    if (!pixels || width <= 0 || height <= 0) return TextureAlpha::Opaque;
    return ClassifyAlpha(std::span<const uint8_t>(pixels.get(), std::size_t(width) * std::size_t(height) * 4));
}

}  // namespace ProjectTavrin
