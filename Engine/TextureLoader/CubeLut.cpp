#include "Engine/TextureLoader/CubeLut.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace Engine {
namespace {

class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    size_t Position() const { return m_position; }
    void Seek(size_t position) { m_position = position; }

    // The next line that is neither empty nor a comment. A trailing "\r" is dropped so files
    // with Windows line ends read the same.
    CubeLutStatus ReadLine(std::string_view& line) {
        line = {};
        while (line.empty() || line[0] == '#') {
            if (m_position >= m_text.size()) return CubeLutStatus::PrematureEndOfFile;
            const size_t end = m_text.find('\n', m_position);
            const size_t stop = end == std::string_view::npos ? m_text.size() : end;
            line = m_text.substr(m_position, stop - m_position);
            m_position = end == std::string_view::npos ? m_text.size() : end + 1;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        }
        return CubeLutStatus::Ok;
    }

private:
    std::string_view m_text;
    size_t m_position = 0;
};

// Three numbers from a table row. Only finite decimal numbers count.
bool ParseRow(std::string_view line, float* rgb) {
    std::string buffer(line);  // NUL-terminated for strtof
    const char* p = buffer.c_str();
    for (int i = 0; i < 3; ++i) {
        while (std::isspace(static_cast<unsigned char>(*p))) ++p;
        const char c = *p;
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+')) return false;
        char* end = nullptr;
        const float value = std::strtof(p, &end);
        if (end == p || !std::isfinite(value)) return false;
        rgb[i] = value;
        p = end;
    }
    return true;
}

}  // namespace

CubeLutStatus ParseCubeLut(std::string_view text, CubeLut& out) {
    out = CubeLut{};
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);

    LineReader reader(text);
    int titleCount = 0, minCount = 0, maxCount = 0, sizeCount = 0;
    CubeLutStatus status = CubeLutStatus::Ok;
    int size = 0;

    for (;;) {
        const size_t lineStart = reader.Position();
        std::string_view lineText;
        status = reader.ReadLine(lineText);
        if (status != CubeLutStatus::Ok) break;
        std::istringstream line{std::string(lineText)};
        std::string keyword;
        line >> keyword;

        if (keyword > "+" && keyword < ":") {
            // The first table row: the header is over.
            reader.Seek(lineStart);
            break;
        } else if (keyword == "TITLE" && titleCount++ == 0) {
            char quote = 0;
            line >> quote;
            if (quote != '"') {
                status = CubeLutStatus::TitleMissingQuote;
                break;
            }
            std::getline(line, out.title, '"');
        } else if (keyword == "DOMAIN_MIN" && minCount++ == 0) {
            line >> out.domainMin[0] >> out.domainMin[1] >> out.domainMin[2];
        } else if (keyword == "DOMAIN_MAX" && maxCount++ == 0) {
            line >> out.domainMax[0] >> out.domainMax[1] >> out.domainMax[2];
        } else if (keyword == "LUT_3D_SIZE" && sizeCount++ == 0) {
            line >> size;
            if (size < 2 || size > 256) {
                status = CubeLutStatus::LutSizeOutOfRange;
                break;
            }
        } else {
            status = CubeLutStatus::UnknownOrRepeatedKeyword;
            break;
        }
        if (line.fail()) {
            status = CubeLutStatus::ReadError;
            break;
        }
    }

    if (status == CubeLutStatus::Ok && sizeCount == 0) status = CubeLutStatus::LutSizeOutOfRange;
    if (status == CubeLutStatus::Ok) {
        for (int c = 0; c < 3; ++c)
            if (!(out.domainMin[c] < out.domainMax[c])) status = CubeLutStatus::DomainBoundsReversed;
    }

    if (status == CubeLutStatus::Ok) {
        const size_t entries = static_cast<size_t>(size) * size * size;
        // A row takes at least 6 bytes ("0 0 0\n"): never reserve more than the text can fill.
        const size_t rowsLeft = (text.size() - reader.Position()) / 6 + 1;
        out.table.reserve(std::min(entries, rowsLeft) * 3);
        for (size_t k = 0; k < entries; ++k) {
            std::string_view row;
            status = reader.ReadLine(row);
            if (status != CubeLutStatus::Ok) break;
            float rgb[3];
            if (!ParseRow(row, rgb)) {
                status = CubeLutStatus::CouldNotParseTableData;
                break;
            }
            out.table.insert(out.table.end(), rgb, rgb + 3);
        }
    }

    if (status != CubeLutStatus::Ok) {
        out.table.clear();
        out.table.shrink_to_fit();
        return status;
    }
    out.size = size;
    return CubeLutStatus::Ok;
}

CubeLutStatus DecodeCubeLut(std::string_view text, DecodedTexture& out) {
    out = DecodedTexture{};
    CubeLut lut;
    const CubeLutStatus status = ParseCubeLut(text, lut);
    if (status != CubeLutStatus::Ok) return status;
    const uint64_t n = static_cast<uint64_t>(lut.size);
    out.pixels.resize(lut.table.size() * sizeof(float));
    std::memcpy(out.pixels.data(), lut.table.data(), out.pixels.size());
    out.desc.dimension = TextureDimension::Texture3D;
    out.desc.width = out.desc.height = out.desc.depthOrArraySize = static_cast<uint32_t>(n);
    out.desc.mipLevels = 1;
    out.desc.format = DxgiFormat::R32G32B32_Float;
    out.subresources = {{out.pixels.data(), n * 12, n * n * 12}};
    return CubeLutStatus::Ok;
}

}  // namespace Engine
