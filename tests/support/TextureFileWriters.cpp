#include "tests/support/TextureFileWriters.h"

#include <cstring>

#include "core/PngEncoder.h"

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

namespace TestSupport {
namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::vector<uint8_t> WriteDds(const DdsLayout& dds) {
    std::vector<uint8_t> out;
    PutU32(out, dds.magic);
    PutU32(out, dds.headerSize);
    PutU32(out, dds.flags);
    PutU32(out, dds.height);
    PutU32(out, dds.width);
    PutU32(out, 0);  // pitch or linear size
    PutU32(out, dds.depth);
    PutU32(out, dds.mipCount);
    for (int i = 0; i < 11; ++i) PutU32(out, 0);
    PutU32(out, dds.pfSize);
    PutU32(out, dds.pfFlags);
    PutU32(out, dds.fourCC);
    PutU32(out, dds.rgbBitCount);
    for (uint32_t mask : dds.masks) PutU32(out, mask);
    PutU32(out, 0x1000);  // caps: texture
    PutU32(out, dds.caps2);
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    if (dds.dx10) {
        PutU32(out, dds.dxgiFormat);
        PutU32(out, dds.resourceDimension);
        PutU32(out, dds.miscFlag);
        PutU32(out, dds.arraySize);
        PutU32(out, 0);
    }
    out.insert(out.end(), dds.pixels.begin(), dds.pixels.end());
    return out;
}

std::vector<uint8_t> CountingBytes(size_t count, uint8_t first) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

std::vector<uint8_t> WriteRgbe(const std::string& header, const std::vector<uint8_t>& pixelBytes) {
    std::vector<uint8_t> out(header.begin(), header.end());
    out.insert(out.end(), pixelBytes.begin(), pixelBytes.end());
    return out;
}

std::vector<uint8_t> EncodeRgbeScanline(const std::vector<uint8_t>& rgbe) {
    const size_t width = rgbe.size() / 4;
    std::vector<uint8_t> out = {2, 2, static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width & 0xFF)};
    for (int component = 0; component < 4; ++component) {
        std::vector<uint8_t> values(width);
        for (size_t i = 0; i < width; ++i) values[i] = rgbe[i * 4 + component];
        size_t i = 0;
        while (i < width) {
            size_t run = 1;
            while (i + run < width && run < 127 && values[i + run] == values[i]) ++run;
            if (run >= 3) {
                out.push_back(static_cast<uint8_t>(128 + run));
                out.push_back(values[i]);
                i += run;
                continue;
            }
            // A literal stretch up to the next run of three or more (at most 128 values).
            size_t length = 0;
            while (i + length < width && length < 128) {
                const size_t j = i + length;
                if (j + 2 < width && values[j] == values[j + 1] && values[j] == values[j + 2]) break;
                ++length;
            }
            out.push_back(static_cast<uint8_t>(length));
            out.insert(out.end(), values.begin() + i, values.begin() + i + length);
            i += length;
        }
    }
    return out;
}

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgba) {
    return ::EncodePng(rgba.data(), width, height, 4, static_cast<std::size_t>(width) * 4);
}

std::vector<uint8_t> EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgba, int quality) {
    std::vector<uint8_t> out;
    stbi_write_jpg_to_func(AppendBytes, &out, width, height, 4, rgba.data(), quality);
    return out;
}

std::vector<uint8_t> EncodeBmp(int width, int height, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> out;
    stbi_write_bmp_to_func(AppendBytes, &out, width, height, 4, rgba.data());
    return out;
}

std::vector<uint8_t> EncodeTga(int width, int height, const std::vector<uint8_t>& rgba, bool runLength) {
    std::vector<uint8_t> out;
    const int saved = stbi_write_tga_with_rle;
    stbi_write_tga_with_rle = runLength ? 1 : 0;
    stbi_write_tga_to_func(AppendBytes, &out, width, height, 4, rgba.data());
    stbi_write_tga_with_rle = saved;
    return out;
}

}  // namespace TestSupport
