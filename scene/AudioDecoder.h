#pragma once
// Decodes one audio file (anything FFmpeg reads: MP3, WAV, AAC/M4A, Ogg, FLAC, ...) into
// interleaved float frames of a chosen format, from the start or from a sought position.
//
// Not thread-safe: the audio player calls it under its own lock.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "scene/AudioOutput.h"

namespace ProjectTavrin {

class AudioDecoder {
public:
    AudioDecoder();
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    /// Opens `path` and decodes its first samples to make sure it really holds audio. False,
    /// with Error() saying why, for a file that cannot be read, has no audio stream or whose
    /// audio cannot be decoded; the decoder is then closed.
    bool Open(const std::filesystem::path& path, const AudioFormat& format);
    void Close();
    bool IsOpen() const;

    /// Length of the audio in 100-ns ticks, from the container (0 when it does not say).
    int64_t DurationTicks() const;
    /// Writes up to `frames` frames to `out`; returns how many (fewer only at the end, 0 once
    /// the end is reached), or -1 when decoding fails (Error() says why).
    int Read(float* out, int frames);
    /// Makes the next Read start at `ticks` from the start of the audio. False when the file
    /// cannot seek.
    bool Seek(int64_t ticks);
    std::string Error() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::string m_error;
};

}  // namespace ProjectTavrin
