#include "renderer/TextureAlpha.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string_view>

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

bool MayHaveAlpha(std::span<const uint8_t> file) {
    static constexpr uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (file.size() >= 2 && file[0] == 0xff && file[1] == 0xd8) return false;  // JPEG
    if (file.size() < 33 || !std::equal(std::begin(kPng), std::end(kPng), file.begin())) return true;
    const uint8_t colorType = file[25];  // in IHDR, the first chunk
    if (colorType == 4 || colorType == 6) return true;
    // Grey, RGB or palette images carry alpha only through a transparency chunk before the data.
    std::size_t at = 8;
    while (at + 8 <= file.size()) {
        const uint32_t length = (uint32_t(file[at]) << 24) | (uint32_t(file[at + 1]) << 16) | (uint32_t(file[at + 2]) << 8) | file[at + 3];
        const std::string_view type(reinterpret_cast<const char*>(&file[at + 4]), 4);
        if (type == "tRNS") return true;
        if (type == "IDAT" || type == "IEND") return false;
        if (length > file.size() - at - 8) return true;  // damaged: let the decoder decide
        at += 12 + std::size_t(length);
    }
    return true;
}

TextureAlpha ClassifyTextureFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return TextureAlpha::Opaque;
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) || !MayHaveAlpha(bytes))
        return TextureAlpha::Opaque;
    int width = 0, height = 0;
    const char* failure = nullptr;
    Engine::StbPixels pixels = Engine::StbLoadRgba(bytes, Engine::StbDecoder::AnyImage, width, height, failure);
    if (!pixels || width <= 0 || height <= 0) return TextureAlpha::Opaque;
    return ClassifyAlpha(std::span<const uint8_t>(pixels.get(), std::size_t(width) * std::size_t(height) * 4));
}

}  // namespace ProjectTavrin
