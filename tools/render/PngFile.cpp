#include "tools/render/PngFile.h"

#include <fstream>

#include "core/PngEncoder.h"

namespace TavrinRender {

bool WritePngFile(const std::filesystem::path& path, const uint8_t* rgba, uint32_t width, uint32_t height, uint32_t rowPitch) {
    const std::vector<uint8_t> png = EncodePng(rgba, int(width), int(height), 4, rowPitch);
    if (png.empty()) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

}  // namespace TavrinRender
