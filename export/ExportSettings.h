#pragma once
// The choices an export offers: the frame sizes and rates of the video output page, the encoder
// bitrate for the number the user typed, and the number of frames for a length in seconds.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ProjectTavrin {

struct FrameSize {
    uint32_t width = 0;
    uint32_t height = 0;
    bool operator==(const FrameSize&) const = default;
};

/// The size list, in the order of its entries.
inline constexpr std::array<FrameSize, 7> kExportSizes{{
    {1280, 720}, {1920, 1080}, {2560, 1080}, {2560, 1440}, {3440, 1440}, {3840, 1600}, {4096, 2160}}};

/// The size of entry `index` of the size list; indices outside it (no selection) give the first.
FrameSize ExportSizeForIndex(int index);
/// The rate of entry `index` of the rate list: 1 gives 60, 2 gives 120, anything else 30.
uint32_t ExportFpsForIndex(int index);
/// What the encoder is asked for, in bit/s, for the bitrate the user typed.
int64_t EncoderBitsPerSecond(int32_t bitrate);
/// Frames in `seconds` at `fps`; 0 for a negative length.
uint32_t ExportFrameCount(uint32_t fps, int32_t seconds);
/// The progress after frame `index` of `frameCount` was written, 0 to 100. A one-frame export
/// is complete after its only frame.
double ExportProgress(uint32_t index, uint32_t frameCount);

/// Reads "WxH" (e.g. "1920x1080"); any size whose sides are even and between 2 and 8192 is
/// accepted, since the encoder's 4:2:0 chroma needs even sides.
std::optional<FrameSize> ParseFrameSize(std::string_view text);
/// Whether the encoder can take frames of this size.
bool IsEncodableSize(FrameSize size);

}  // namespace ProjectTavrin
