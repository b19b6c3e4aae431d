#pragma once
// Audio files on disk for the audio tests, written by hand (WAV) so no encoder is needed.
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/support/WavWriter.h"

namespace SceneTest {

class AudioFiles {
public:
    AudioFiles() {
        static int serial = 0;
        m_dir = std::filesystem::temp_directory_path() /
                ("tavrin-audio-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(m_dir);
    }
    ~AudioFiles() { std::filesystem::remove_all(m_dir); }
    AudioFiles(const AudioFiles&) = delete;
    AudioFiles& operator=(const AudioFiles&) = delete;

    std::filesystem::path Wav(const std::string& name, const TestSupport::WavContent& content) const {
        return Bytes(name, TestSupport::WriteWav(content));
    }
    /// A stereo 48 kHz ramp (see RampWav) lasting `seconds`.
    std::filesystem::path Ramp(const std::string& name, double seconds) const {
        return Wav(name, TestSupport::RampWav(48'000, 2, static_cast<int>(seconds * 48'000)));
    }
    std::filesystem::path Bytes(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(m_dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return m_dir / name;
    }
    std::filesystem::path Text(const std::string& name, const std::string& text) const {
        return Bytes(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    std::filesystem::path Dir() const { return m_dir; }

private:
    std::filesystem::path m_dir;
};

/// The frame index a ramp sample encodes (left channel), modulo 32768.
inline int RampIndex(float left) { return static_cast<int>(left * 32768.0f + (left >= 0 ? 0.5f : -0.5f)); }

}  // namespace SceneTest
