#include "Engine/TextureLoader/StbImage.h"

#include <climits>

// Radiance files have a reader of their own (HDRTextureLoader); the rarely met PIC and PNM
// formats are left out to keep the decoder surface small.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_HDR
#define STBI_NO_PIC
#define STBI_NO_PNM
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace Engine {

void StbFree::operator()(uint8_t* pixels) const { stbi_image_free(pixels); }

StbPixels StbLoadRgba(std::span<const uint8_t> bytes, StbDecoder decoder, int& width, int& height,
                      const char*& failure) {
    width = height = 0;
    failure = nullptr;
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) {
        failure = "unsupported data size";
        return nullptr;
    }
    int channels = 0;
    stbi_uc* pixels = nullptr;
    if (decoder == StbDecoder::TgaOnly) {
        stbi__context context;
        stbi__start_mem(&context, bytes.data(), static_cast<int>(bytes.size()));
        if (!stbi__tga_test(&context)) {
            failure = "not a TGA image";
            return nullptr;
        }
        stbi__result_info info;
        info.bits_per_channel = 8;
        info.num_channels = 0;
        info.channel_order = STBI_ORDER_RGB;
        pixels = static_cast<stbi_uc*>(stbi__tga_load(&context, &width, &height, &channels, 4, &info));
    } else {
        pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    }
    if (pixels == nullptr) {
        failure = stbi_failure_reason();
        if (failure == nullptr) failure = "corrupt image";
        width = height = 0;
    }
    return StbPixels(pixels);
}

}  // namespace Engine
