#pragma once
// Where the audio player's samples go: a device that pulls interleaved 32-bit float frames from
// a fill callback on a thread of its own, in buffers of a fixed size. SDL plays them
// (MakeSdlAudioOutput); tests pull by hand.
#include <functional>
#include <memory>
#include <string>

namespace ProjectTavrin {

/// Interleaved float samples: `channels` per frame, `sampleRate` frames per second.
struct AudioFormat {
    int sampleRate = 48'000;
    int channels = 2;
};

class AudioOutput {
public:
    /// Fills `frames` frames at `samples` (frames x channels floats). Called on the device's
    /// thread, never while Pause or Close is returning.
    using Fill = std::function<void(float* samples, int frames)>;

    virtual ~AudioOutput() = default;

    /// Opens the device for `format`, paused; false (with Error() set) when there is none.
    virtual bool Open(const AudioFormat& format, Fill fill) = 0;
    /// Starts pulling.
    virtual void Start() = 0;
    /// Stops pulling; once it returns, the fill callback is not running and is not called again
    /// until Start.
    virtual void Pause() = 0;
    /// Frames the device holds between a fill and the speaker, beyond the buffer just filled.
    virtual int LatencyFrames() const = 0;
    /// Why Open failed.
    virtual std::string Error() const = 0;
};

using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

}  // namespace ProjectTavrin
