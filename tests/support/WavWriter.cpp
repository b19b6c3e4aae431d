#include "tests/support/WavWriter.h"

#include <string_view>

namespace TestSupport {
namespace {

void Put(std::vector<uint8_t>& out, std::string_view tag) { out.insert(out.end(), tag.begin(), tag.end()); }

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

std::vector<uint8_t> WriteWav(const WavContent& content) {
    const uint32_t dataSize = static_cast<uint32_t>(content.samples.size() * 2);
    const uint32_t claimed = content.dataSizeOverride.value_or(dataSize);
    std::vector<uint8_t> out;
    Put(out, "RIFF");
    Put32(out, 36 + claimed);
    Put(out, "WAVE");
    Put(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, static_cast<uint16_t>(content.channels));
    Put32(out, static_cast<uint32_t>(content.sampleRate));
    Put32(out, static_cast<uint32_t>(content.sampleRate * content.channels * 2));
    Put16(out, static_cast<uint16_t>(content.channels * 2));
    Put16(out, 16);
    Put(out, "data");
    Put32(out, claimed);
    for (int16_t sample : content.samples) Put16(out, static_cast<uint16_t>(sample));
    return out;
}

WavContent RampWav(int sampleRate, int channels, int frames) {
    WavContent content;
    content.sampleRate = sampleRate;
    content.channels = channels;
    content.samples.reserve(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const int16_t value = static_cast<int16_t>(i % 32768);
        for (int c = 0; c < channels; ++c) content.samples.push_back(c % 2 == 0 ? value : static_cast<int16_t>(-value));
    }
    return content;
}

}  // namespace TestSupport
