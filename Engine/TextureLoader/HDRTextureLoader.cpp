#include "Engine/TextureLoader/HDRTextureLoader.h"

#include "Engine/TextureLoader/HalfFloat.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace Engine {
namespace {

constexpr size_t kMaxLineLength = 127;

bool ReadError() {
    // Running out of data is the usual cause; say so rather than whatever errno last held.
    errno = ENODATA;
    std::perror("RGBE read error");
    return false;
}

bool FormatError(const char* what) {
    std::fprintf(stderr, "RGBE bad file format: %s\n", what);
    return false;
}

// One header line: at most 127 characters, up to and including the next "\n", with the line
// terminator ("\n" or "\r\n") removed. A longer line is returned in 127-character pieces.
bool ReadLine(std::span<const uint8_t> bytes, size_t& offset, std::string& line) {
    line.clear();
    if (offset >= bytes.size()) return false;
    while (offset < bytes.size() && line.size() < kMaxLineLength) {
        const char c = static_cast<char>(bytes[offset++]);
        if (c == '\n') break;
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// "<prefix>%g": the prefix, optional white space, then a number.
bool MatchFloat(const std::string& line, const char* prefix, float& value) {
    const size_t length = std::strlen(prefix);
    if (line.compare(0, length, prefix) != 0) return false;
    const char* start = line.c_str() + length;
    char* end = nullptr;
    const float parsed = std::strtof(start, &end);
    if (end == start) return false;
    value = parsed;
    return true;
}

// Reads one "%d" conversion: optional white space, optional sign, digits. Out-of-range numbers
// do not match.
bool ScanInt(const char*& p, int& value) {
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<int>(parsed);
    p = end;
    return true;
}

// Matches a literal of the size line; white space in it matches any run of white space.
bool ScanLiteral(const char*& p, const char* literal) {
    for (; *literal; ++literal) {
        if (std::isspace(static_cast<unsigned char>(*literal))) {
            while (std::isspace(static_cast<unsigned char>(*p))) ++p;
        } else if (*p == *literal) {
            ++p;
        } else {
            return false;
        }
    }
    return true;
}

// "-Y %d +X %d": returns how many numbers were read.
int ScanSizeLine(const std::string& line, int& height, int& width) {
    const char* p = line.c_str();
    if (!ScanLiteral(p, "-Y ") || !ScanInt(p, height)) return 0;
    if (!ScanLiteral(p, " +X ") || !ScanInt(p, width)) return 1;
    return 2;
}

bool ReadFlat(std::span<const uint8_t> bytes, size_t& offset, uint8_t* rgbe, uint64_t pixels) {
    if (pixels > (bytes.size() - offset) / 4) return ReadError();
    std::memcpy(rgbe, bytes.data() + offset, pixels * 4);
    offset += pixels * 4;
    return true;
}

}  // namespace

bool ReadRgbeHeader(std::span<const uint8_t> bytes, size_t& offset, RgbeHeaderInfo& info, int& width, int& height) {
    info = RgbeHeaderInfo{};
    offset = 0;
    std::string line;
    if (!ReadLine(bytes, offset, line)) return ReadError();
    if (line.size() >= 2 && line[0] == '#' && line[1] == '?') {
        info.valid |= kRgbeValidProgramType;
        size_t i = 0;
        for (; i < sizeof(info.programType) - 1 && i + 2 < line.size(); ++i) {
            const char c = line[i + 2];
            if (c == '\0' || std::isspace(static_cast<unsigned char>(c))) break;
            info.programType[i] = c;
        }
        info.programType[i] = '\0';
        if (!ReadLine(bytes, offset, line)) return ReadError();
    }
    for (;;) {
        if (line.empty() || line[0] == '\0') break;
        float value = 0.0f;
        if (line == "FORMAT=32-bit_rle_rgbe") {
            // The only pixel format there is; nothing to record.
        } else if (MatchFloat(line, "GAMMA=", value)) {
            info.gamma = value;
            info.valid |= kRgbeValidGamma;
        } else if (MatchFloat(line, "EXPOSURE=", value)) {
            info.exposure = value;
            info.valid |= kRgbeValidExposure;
        }
        if (!ReadLine(bytes, offset, line)) return ReadError();
    }
    if (!ReadLine(bytes, offset, line)) return ReadError();
    if (ScanSizeLine(line, height, width) < 2) return FormatError("missing image size specifier");
    return true;
}

bool ReadRgbePixels(std::span<const uint8_t> bytes, size_t offset, uint8_t* rgbe, int width, int height) {
    if (width <= 0 || height <= 0) return FormatError("bad image size");
    if (offset > bytes.size()) return ReadError();
    const uint64_t lineWidth = static_cast<uint64_t>(width);
    if (width < 8 || width > 0x7FFF) return ReadFlat(bytes, offset, rgbe, lineWidth * height);

    std::vector<uint8_t> scanline(lineWidth * 4);
    for (int remaining = height; remaining > 0; --remaining) {
        if (bytes.size() - offset < 4) return ReadError();
        const uint8_t* head = bytes.data() + offset;
        offset += 4;
        if (head[0] != 2 || head[1] != 2 || (head[2] & 0x80)) {
            // Not run-length encoded: this record is the first pixel of a flat image.
            std::memcpy(rgbe, head, 4);
            return ReadFlat(bytes, offset, rgbe + 4, lineWidth * remaining - 1);
        }
        if (((static_cast<uint64_t>(head[2]) << 8) | head[3]) != lineWidth) return FormatError("wrong scanline width");

        uint8_t* ptr = scanline.data();
        for (int component = 0; component < 4; ++component) {
            uint8_t* const componentEnd = scanline.data() + (component + 1) * lineWidth;
            while (ptr < componentEnd) {
                if (bytes.size() - offset < 2) return ReadError();
                uint32_t count = bytes[offset];
                const uint8_t value = bytes[offset + 1];
                offset += 2;
                if (count > 128) {
                    count -= 128;
                    if (count > static_cast<uint32_t>(componentEnd - ptr)) return FormatError("bad scanline data");
                    std::memset(ptr, value, count);
                    ptr += count;
                } else {
                    if (count == 0 || count > static_cast<uint32_t>(componentEnd - ptr))
                        return FormatError("bad scanline data");
                    *ptr++ = value;
                    --count;
                    if (count > 0) {
                        if (bytes.size() - offset < count) return ReadError();
                        std::memcpy(ptr, bytes.data() + offset, count);
                        ptr += count;
                        offset += count;
                    }
                }
            }
        }
        for (uint64_t i = 0; i < lineWidth; ++i) {
            rgbe[0] = scanline[i];
            rgbe[1] = scanline[i + lineWidth];
            rgbe[2] = scanline[i + 2 * lineWidth];
            rgbe[3] = scanline[i + 3 * lineWidth];
            rgbe += 4;
        }
    }
    return true;
}

void RgbeToHalf(const uint8_t rgbe[4], uint16_t half[4]) {
    if (rgbe[3] == 0) {
        half[0] = half[1] = half[2] = half[3] = FloatToHalf(0.0f);
        return;
    }
    const float f = std::ldexp(1.0f, static_cast<int>(rgbe[3]) - 136);
    for (int c = 0; c < 3; ++c) half[c] = FloatToHalf(std::clamp(rgbe[c] * f, 0.0f, 60000.0f));
    half[3] = FloatToHalf(1.0f);
}

DecodeResult DecodeHdr(std::span<const uint8_t> bytes, DecodedTexture& out) {
    out = DecodedTexture{};
    RgbeHeaderInfo info;
    size_t offset = 0;
    int width = 0, height = 0;
    if (!ReadRgbeHeader(bytes, offset, info, width, height)) return DecodeResult::Fail;
    if (width <= 0 || height <= 0) {
        FormatError("bad image size");
        return DecodeResult::InvalidData;
    }
    if (width > kMaxHdrSide || height > kMaxHdrSide) {
        FormatError("image too large");
        return DecodeResult::NotSupported;
    }
    // Even a fully run-length encoded image needs a 4-byte scanline head and one 2-byte run per
    // 127 values of each component; refuse sizes the data cannot hold before allocating.
    const uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    const uint64_t leastBytes = (width < 8 || width > 0x7FFF) ? w * h * 4 : h * (4 + 8 * ((w + 126) / 127));
    if (bytes.size() - offset < leastBytes) {
        ReadError();
        return DecodeResult::EndOfFile;
    }

    std::vector<uint8_t> rgbe(w * h * 4);
    if (!ReadRgbePixels(bytes, offset, rgbe.data(), width, height)) return DecodeResult::Fail;

    out.pixels.resize(w * h * 8);
    for (uint64_t i = 0; i < w * h; ++i) {
        uint16_t half[4];
        RgbeToHalf(&rgbe[i * 4], half);
        std::memcpy(&out.pixels[i * 8], half, sizeof(half));
    }

    out.desc.dimension = TextureDimension::Texture2D;
    out.desc.width = static_cast<uint32_t>(width);
    out.desc.height = static_cast<uint32_t>(height);
    out.desc.depthOrArraySize = 1;
    out.desc.mipLevels = 1;
    out.desc.format = DxgiFormat::R16G16B16A16_Float;
    const uint64_t rowPitch = 8 * w;
    out.subresources = {{out.pixels.data(), rowPitch, rowPitch * h}};
    return DecodeResult::Ok;
}

}  // namespace Engine
