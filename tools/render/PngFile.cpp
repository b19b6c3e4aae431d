#include "tools/render/PngFile.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
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

namespace TavrinRender {

bool WritePngFile(const std::filesystem::path& path, const uint8_t* rgba, uint32_t width, uint32_t height, uint32_t rowPitch) {
    return stbi_write_png(path.string().c_str(), int(width), int(height), 4, rgba, int(rowPitch)) != 0;
}

}  // namespace TavrinRender
