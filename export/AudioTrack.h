#pragma once
// The audio stream of an exported video: decodes the scene's audio file, resamples it to the
// AAC encoder's format and writes AAC packets into the video's container, starting at the
// video's first frame. The caller asks for audio up to a time as the video advances, so the two
// streams interleave in the file, and ends it at the video's length.
//
// Belongs to VideoEncoder, which owns the container; everything runs on the encoder's thread.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

struct AVFormatContext;

namespace ProjectTavrin {

class AudioTrack {
public:
    AudioTrack();
    ~AudioTrack();
    AudioTrack(const AudioTrack&) = delete;
    AudioTrack& operator=(const AudioTrack&) = delete;

    /// Opens `file` and adds an AAC stream to `output`, whose header is not written yet. False,
    /// with `error` set, when the file has no decodable audio or the encoder cannot start.
    bool Open(const std::filesystem::path& file, AVFormatContext* output, std::string& error);
    /// Encodes the whole encoder frames that end by output sample `target` (at SampleRate) and
    /// writes their packets. False on a write error; running out of source audio is not an error.
    bool EncodeUntil(int64_t target);
    /// Encodes up to exactly output sample `target` (or the end of the source, if sooner) and
    /// drains the encoder; nothing is written past `target`.
    bool Finish(int64_t target);

    /// Output samples handed to the encoder so far.
    int64_t SamplesEncoded() const;
    int SampleRate() const;
    const std::string& Error() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace ProjectTavrin
