#include "tests/export/MediaProbe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace ExportTest {
namespace {

std::string Quote(const std::filesystem::path& file) {
    std::string quoted = "'";
    for (char c : file.string()) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

/// Runs `command` and returns its standard output (binary-safe) and whether it exited with 0.
bool Run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, got);
    return pclose(pipe) == 0;
}

void PutLe(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool HaveFfmpegTools() {
    std::string output;
    return Run("ffprobe -version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1", output);
}

std::vector<StreamInfo> ProbeStreams(const std::filesystem::path& file) {
    std::string output;
    if (!Run("ffprobe -v error -show_streams -of default=nw=0 " + Quote(file) + " 2>/dev/null", output)) return {};
    std::vector<StreamInfo> streams;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "[STREAM]") {
            streams.emplace_back();
        } else if (!streams.empty() && line.find('=') != std::string::npos) {
            const size_t eq = line.find('=');
            streams.back()[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return streams;
}

bool ProbeOpens(const std::filesystem::path& file) {
    std::string output;
    return Run("ffprobe -v error " + Quote(file) + " 2>&1", output) && output.empty();
}

std::vector<int64_t> VideoPacketTimes(const std::filesystem::path& file) {
    std::string output;
    Run("ffprobe -v error -select_streams v:0 -show_entries packet=pts -of csv=p=0 " + Quote(file), output);
    std::vector<int64_t> times;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty()) times.push_back(std::stoll(line));
    std::sort(times.begin(), times.end());
    return times;
}

std::vector<std::vector<uint8_t>> DecodeFrames(const std::filesystem::path& file, uint32_t width, uint32_t height,
                                               uint32_t count) {
    std::string output;
    Run("ffmpeg -v error -i " + Quote(file) + " -frames:v " + std::to_string(count) +
            " -f rawvideo -pix_fmt rgba - 2>/dev/null",
        output);
    const size_t frameBytes = static_cast<size_t>(width) * height * 4;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; frameBytes && at + frameBytes <= output.size(); at += frameBytes)
        frames.emplace_back(output.begin() + static_cast<std::ptrdiff_t>(at),
                            output.begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
    return frames;
}

void WriteSineWav(const std::filesystem::path& file, double seconds, uint32_t rate, uint16_t channels) {
    const auto frames = static_cast<uint32_t>(seconds * rate);
    const uint32_t dataBytes = frames * channels * 2;
    std::ofstream out(file, std::ios::binary);
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, channels, 2);
    PutLe(out, rate, 4);
    PutLe(out, rate * channels * 2, 4);
    PutLe(out, channels * 2u, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const double value = std::sin(2.0 * 3.14159265358979 * 440.0 * i / rate) * 12000.0;
        for (uint16_t c = 0; c < channels; ++c) PutLe(out, static_cast<uint16_t>(static_cast<int16_t>(value)), 2);
    }
}

double ToDouble(const StreamInfo& stream, const std::string& key) {
    const auto it = stream.find(key);
    if (it == stream.end() || it->second == "N/A") return std::nan("");
    return std::stod(it->second);
}

int64_t ToInt(const StreamInfo& stream, const std::string& key) {
    const auto it = stream.find(key);
    if (it == stream.end() || it->second == "N/A") return -1;
    return std::stoll(it->second);
}

}  // namespace ExportTest
