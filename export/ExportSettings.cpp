#include "export/ExportSettings.h"

#include <charconv>

namespace ProjectTavrin {
namespace {

constexpr uint32_t kLargestSide = 8192;

bool ParseSide(std::string_view text, uint32_t& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

FrameSize ExportSizeForIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kExportSizes.size())) return kExportSizes[0];
    return kExportSizes[static_cast<size_t>(index)];
}

uint32_t ExportFpsForIndex(int index) {
    switch (index) {
    case 1: return 60;
    case 2: return 120;
    default: return 30;
    }
}

int64_t EncoderBitsPerSecond(int32_t bitrate) { return static_cast<int64_t>(bitrate) * 1024; }

uint32_t ExportFrameCount(uint32_t fps, int32_t seconds) {
    if (seconds <= 0) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(fps) * static_cast<uint64_t>(seconds));
}

double ExportProgress(uint32_t index, uint32_t frameCount) {
    if (frameCount <= 1) return 100.0;
    return static_cast<double>(index) * 100.0 / static_cast<double>(frameCount - 1);
}

bool IsEncodableSize(FrameSize size) {
    return size.width >= 2 && size.height >= 2 && size.width <= kLargestSide && size.height <= kLargestSide &&
           size.width % 2 == 0 && size.height % 2 == 0;
}

std::optional<FrameSize> ParseFrameSize(std::string_view text) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return std::nullopt;
    FrameSize size;
    if (!ParseSide(text.substr(0, x), size.width) || !ParseSide(text.substr(x + 1), size.height)) return std::nullopt;
    if (!IsEncodableSize(size)) return std::nullopt;
    return size;
}

}  // namespace ProjectTavrin
