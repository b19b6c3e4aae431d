#pragma once
// In-memory writers for texture files of any shape (valid or not): DDS headers with their pixel
// data, Radiance RGBE images, and PNG/JPEG/BMP/TGA encodings of RGBA pixels.
#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {

/// Fields of a DDS file. Pixel data is appended as given; `dx10` adds the extended header.
struct DdsLayout {
    uint32_t magic = 0x20534444;
    uint32_t headerSize = 124;
    uint32_t flags = 0x1007;  // caps, height, width, pixel format
    uint32_t height = 4;
    uint32_t width = 4;
    uint32_t depth = 0;
    uint32_t mipCount = 1;
    uint32_t pfSize = 32;
    uint32_t pfFlags = 0x41;  // RGB with alpha
    uint32_t fourCC = 0;
    uint32_t rgbBitCount = 32;
    uint32_t masks[4] = {0xFF, 0xFF00, 0xFF0000, 0xFF000000};
    uint32_t caps2 = 0;
    bool dx10 = false;
    uint32_t dxgiFormat = 0;
    uint32_t resourceDimension = 3;
    uint32_t miscFlag = 0;
    uint32_t arraySize = 1;
    std::vector<uint8_t> pixels;
};

std::vector<uint8_t> WriteDds(const DdsLayout& dds);

/// `count` bytes counting up from `first` (wrapping), so every surface of a file is distinct.
std::vector<uint8_t> CountingBytes(size_t count, uint8_t first = 0);

/// A Radiance file: `header` text (the lines up to and including the empty line and the size
/// line, each ending in "\n") followed by `pixelBytes` as given.
std::vector<uint8_t> WriteRgbe(const std::string& header, const std::vector<uint8_t>& pixelBytes);

/// Run-length encodes one scanline of RGBE pixels (4 bytes each) the way Radiance writers do:
/// the 2, 2, width head, then each component as runs and literal stretches.
std::vector<uint8_t> EncodeRgbeScanline(const std::vector<uint8_t>& rgbe);

/// Image encodings of width × height RGBA8 pixels.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgba);
std::vector<uint8_t> EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgba, int quality = 95);
std::vector<uint8_t> EncodeBmp(int width, int height, const std::vector<uint8_t>& rgba);
std::vector<uint8_t> EncodeTga(int width, int height, const std::vector<uint8_t>& rgba, bool runLength);

}  // namespace TestSupport
