#pragma once
// Writes an H.264 video in an MP4 file, with the scene's audio as AAC when it has an audio file.
//
// Open, write frames, Close. The file is written under a hidden temporary name beside the
// target and renamed onto it only when Close has finalised it, so an existing file of that name
// is replaced only by a complete video and a crash leaves no half-written file under the user's
// name. An encoder destroyed without Close removes its temporary file.
//
// Frames are 8-bit RGBA (or BGRA) rows, top row first, `rowPitch` bytes apart (read-back rows
// are padded to a multiple of 256 bytes). They are converted to limited-range BT.709 4:2:0 and
// the stream is tagged so, which is what players assume for HD video; a frame of another size is
// scaled to the video's size. Frame i is stamped i in a time base of 1/fps (SampleClock), so the
// file's rate reads back as exactly fps.
//
// The audio starts with the video's first frame and ends with its last: Close cuts it to the
// time the frames written cover.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "export/SampleClock.h"

namespace ProjectTavrin {

enum class PixelOrder { Rgba, Bgra };

struct VideoEncoderSettings {
    std::filesystem::path output;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t fps = 30;
    /// As typed by the user: the encoder is asked for bitrate x 1024 bit/s.
    int32_t bitrate = 8000;
    /// The scene's audio file; empty for a video without sound.
    std::filesystem::path audio;
    /// x264's speed preset.
    std::string preset = "veryfast";
};

class VideoEncoder {
public:
    VideoEncoder();
    /// Removes the temporary file of an encoder that was not closed.
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    /// Opens the temporary file and the encoders. False, with Error() saying why and nothing
    /// left on disk, when the size is odd or out of range, the rate or bitrate is not positive,
    /// the folder cannot be written or an encoder cannot start. An audio file that cannot be
    /// read does not stop the video: the file then has no sound and AudioWarning() says why.
    bool Open(const VideoEncoderSettings& settings);
    bool IsOpen() const;

    /// Encodes one frame at the next sample time. False when the frame could not be written
    /// (missing pixels, rows shorter than the frame, an encoder or disk error); the failure is
    /// counted and the sample time moves on all the same.
    bool WriteFrame(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t rowPitch,
                    PixelOrder order = PixelOrder::Rgba);

    /// Drains the encoders, cuts the audio to the video's length, finalises the file and renames
    /// it onto the target. False, with Error(), when any of that failed (the temporary file is
    /// then removed and the target left as it was). Does nothing when not open.
    bool Close();

    const std::string& Error() const;
    const std::string& AudioWarning() const;
    bool HasAudio() const;
    uint32_t FramesWritten() const;
    uint32_t FailedWrites() const;
    const SampleClock& Clock() const;
    /// Where the file is written until Close renames it.
    const std::filesystem::path& TemporaryPath() const;

    /// The temporary name used for `target`: hidden, in the same folder (so the rename stays on
    /// one file system), unique to this process.
    static std::filesystem::path TemporaryPathFor(const std::filesystem::path& target);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace ProjectTavrin
