#pragma once
// The one place stb_image is compiled. Its functions stay private to StbImage.cpp, so other
// parts of the program may carry their own copy without clashing.
#include <cstdint>
#include <memory>
#include <span>

namespace Engine {

struct StbFree {
    void operator()(uint8_t* pixels) const;
};
using StbPixels = std::unique_ptr<uint8_t, StbFree>;

/// Which of stb_image's decoders may run.
enum class StbDecoder {
    AnyImage,  // PNG, BMP, GIF (first frame), PSD (composite), JPEG, then TGA
    TgaOnly,
};

/// Decodes `bytes` to 8-bit RGBA. Returns null (and a short reason in `failure`) when the data
/// is not an image the chosen decoders read. `bytes.size()` must fit in an int.
StbPixels StbLoadRgba(std::span<const uint8_t> bytes, StbDecoder decoder, int& width, int& height,
                      const char*& failure);

}  // namespace Engine
