#include "tools/generators/demo/MusicTrack.h"

#include <algorithm>
#include <cmath>

#include "tools/generators/demo/Tempo.h"

namespace DemoScene {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSecondsPerBeat = 60.0 / Tempo::kBeatsPerMinute;

double NoteFrequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// Chord roots of the loop, one per bar (A minor, F, C, G), as MIDI notes.
constexpr int kBarRoots[4] = {45, 41, 48, 43};
// The melody, one eighth note per entry over two bars: offsets from A4 in the minor pentatonic
// scale; -99 is a rest.
constexpr int kMelody[16] = {0, 3, 5, 7, 10, 7, 5, -99, 3, 5, 7, 12, 10, 7, 5, 3};

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xFF));
}

// A small linear congruential generator: the same noise on every machine.
class Noise {
public:
    double Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<double>(m_state >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
    }

private:
    uint32_t m_state = 0x2545F491u;
};

}  // namespace

std::vector<uint8_t> BuildMusicTrack() {
    const uint32_t frames = static_cast<uint32_t>(Tempo::kSeconds * MusicFormat::kSampleRate);
    const uint32_t blockAlign = MusicFormat::kChannels * MusicFormat::kBitsPerSample / 8;
    const uint32_t dataBytes = frames * blockAlign;

    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    for (const char c : {'R', 'I', 'F', 'F'}) out.push_back(static_cast<uint8_t>(c));
    PutLittleEndian(out, 36 + dataBytes, 4);
    for (const char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}) out.push_back(static_cast<uint8_t>(c));
    PutLittleEndian(out, 16, 4);
    PutLittleEndian(out, 1, 2);  // PCM
    PutLittleEndian(out, MusicFormat::kChannels, 2);
    PutLittleEndian(out, MusicFormat::kSampleRate, 4);
    PutLittleEndian(out, MusicFormat::kSampleRate * blockAlign, 4);
    PutLittleEndian(out, blockAlign, 2);
    PutLittleEndian(out, MusicFormat::kBitsPerSample, 2);
    for (const char c : {'d', 'a', 't', 'a'}) out.push_back(static_cast<uint8_t>(c));
    PutLittleEndian(out, dataBytes, 4);

    Noise noise;
    double hatState = 0.0;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / MusicFormat::kSampleRate;
        const double beats = t / kSecondsPerBeat;
        const int beat = static_cast<int>(beats);
        const double inBeat = (beats - beat) * kSecondsPerBeat;  // seconds since the beat
        const int bar = beat / Tempo::kBeatsPerBar;
        const bool finale = bar + 1 >= Tempo::kBars;

        // Kick: a sine sweeping down from 130 Hz to 45 Hz, decaying fast.
        const double kickPhase = 2.0 * kPi * (45.0 * inBeat + (85.0 / 25.0) * (1.0 - std::exp(-25.0 * inBeat)));
        const double kick = std::sin(kickPhase) * std::exp(-9.0 * inBeat);

        // Hi-hat on the off-beat: differenced noise (only the highs), short decay.
        const double sinceOffBeat = inBeat - kSecondsPerBeat / 2;
        const double white = noise.Next();
        const double bright = white - hatState;
        hatState = white;
        const double hat = sinceOffBeat >= 0 ? bright * std::exp(-40.0 * sinceOffBeat) : 0.0;

        // Bass: the bar's root as a soft square-ish wave, re-struck on every beat.
        const double bassFrequency = NoteFrequency(kBarRoots[bar % 4]);
        const double bassWave = std::sin(2.0 * kPi * bassFrequency * t) + 0.3 * std::sin(6.0 * kPi * bassFrequency * t);
        const double bass = bassWave * (0.6 + 0.4 * std::exp(-6.0 * inBeat));

        // Lead: eighth notes with a quick attack and decay; in the finale one long held note.
        double lead = 0.0;
        const double eighths = beats * 2.0;
        const int eighth = static_cast<int>(eighths);
        const double inNote = (eighths - eighth) * kSecondsPerBeat / 2.0;
        const int offset = finale ? 12 : kMelody[eighth % 16];
        if (offset != -99) {
            const double f = NoteFrequency(69 + offset);
            const double finaleStart = (Tempo::kBars - 1) * Tempo::kBeatsPerBar * kSecondsPerBeat;
            const double envelope = finale ? 0.8 * std::min(1.0, (t - finaleStart) * 200.0) *
                                                 std::exp(-0.8 * (t - finaleStart))
                                           : std::min(1.0, inNote * 200.0) * std::exp(-5.0 * inNote);
            lead = envelope * (std::sin(2.0 * kPi * f * t) + 0.25 * std::sin(4.0 * kPi * f * t));
        }

        // Fade over the last beat so the file ends in silence.
        const double fade = std::clamp((Tempo::kSeconds - t) / kSecondsPerBeat, 0.0, 1.0);
        const double left = fade * (0.55 * kick + 0.10 * hat + 0.22 * bass + 0.20 * lead);
        const double right = fade * (0.55 * kick + 0.14 * hat + 0.22 * bass + 0.16 * lead);
        for (const double v : {left, right}) {
            const double clipped = std::tanh(v * 1.2);  // soft limit, never above full scale
            const auto sample = static_cast<int16_t>(std::lround(clipped * 32000.0));
            PutLittleEndian(out, static_cast<uint16_t>(sample), 2);
        }
    }
    return out;
}

}  // namespace DemoScene
