#pragma once
// Looks at exported files from the outside, with the ffprobe and ffmpeg commands: stream facts,
// packet times and decoded RGBA frames. Also writes WAV files for the audio tests.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ExportTest {

/// One stream as ffprobe reports it (key=value pairs of -show_streams).
using StreamInfo = std::map<std::string, std::string>;

/// Whether ffprobe and ffmpeg can be run.
bool HaveFfmpegTools();
/// Every stream of `file`, in order; empty when ffprobe cannot read it.
std::vector<StreamInfo> ProbeStreams(const std::filesystem::path& file);
/// Whether ffprobe opens `file` without an error.
bool ProbeOpens(const std::filesystem::path& file);
/// Presentation times of the video stream's packets, in its time base, sorted.
std::vector<int64_t> VideoPacketTimes(const std::filesystem::path& file);
/// The first `count` video frames decoded to RGBA at the stream's size (fewer if it has fewer).
std::vector<std::vector<uint8_t>> DecodeFrames(const std::filesystem::path& file, uint32_t width, uint32_t height,
                                               uint32_t count);
/// A 16-bit PCM WAV of a sine tone.
void WriteSineWav(const std::filesystem::path& file, double seconds, uint32_t rate, uint16_t channels);

double ToDouble(const StreamInfo& stream, const std::string& key);
int64_t ToInt(const StreamInfo& stream, const std::string& key);

}  // namespace ExportTest
