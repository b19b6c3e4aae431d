#include "core/PngEncoder.h"

#include <mutex>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// The encoder takes its compression level from a global, so calls are serialised.
std::mutex g_encodeLock;

}  // namespace

std::vector<uint8_t> EncodePng(const uint8_t* pixels, int width, int height, int channels, std::size_t rowPitch,
                               int compressionLevel) {
    std::vector<uint8_t> png;
    if (!pixels || width <= 0 || height <= 0 || channels < 1 || channels > 4) return png;
    std::lock_guard<std::mutex> guard(g_encodeLock);
    stbi_write_png_compression_level = compressionLevel;
    if (!stbi_write_png_to_func(&AppendBytes, &png, width, height, channels, pixels, static_cast<int>(rowPitch)))
        png.clear();
    return png;
}
