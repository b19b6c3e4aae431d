#pragma once
// The player of the scene's one audio file: FFmpeg decodes it (AudioDecoder), an AudioOutput
// (SDL) plays it. It keeps a media player's states and reports: Closed without a file, Opening
// while a file is read, then Paused (it never starts by itself), Playing and Paused; Stopped when
// the audio broke off mid-way. Looping is off: at the end the audio falls silent and the position
// rests on the duration; Play from there starts over.
//
// The position is what has been heard: the samples handed to the device, less what the device
// still holds, carried forward between fills by the clock, so it moves smoothly.
//
// Threads: the control calls (Open, Play, Pause, SetPosition, Close) come from the UI thread;
// the output's thread pulls samples; a report thread of the player's own tells the position
// (when it has moved) and the duration (when it changes) every report interval. The reports run
// on that thread and must post their work to the UI thread themselves. GetState, GetPosition
// and GetDuration may be called from any thread (the render loop reads the position each frame).
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "scene/AudioOutput.h"

namespace ProjectTavrin {

class AudioDecoder;

/// The file types offered when the user picks an audio file, in the picker's order. ".acc" is
/// kept beside ".aac" because it is a common misspelling of it on disk.
inline constexpr std::array<std::string_view, 7> kAudioFileTypes = {".mp3", ".wav", ".acc", ".aac",
                                                                    ".m4a", ".ogg", ".flac"};
/// Whether `path` ends in one of kAudioFileTypes, in any letter case.
bool IsAudioFileType(const std::filesystem::path& path);

/// Media player states, numbered as the platform numbers them. Buffering is never entered: the
/// file is decoded as it plays.
enum class MediaState : int { Closed = 0, Opening = 1, Buffering = 2, Playing = 3, Paused = 4, Stopped = 5 };

class AudioPlayer {
public:
    using Counter = std::function<int64_t()>;
    /// A position or duration in 100-ns ticks.
    using TimeReport = std::function<void(int64_t ticks)>;

    struct Options {
        /// Makes the output; empty: SDL.
        AudioOutputFactory makeOutput;
        /// The clock that carries the position between fills; empty: std::chrono::steady_clock.
        Counter counter;
        int64_t counterFrequency = 0;
        /// Time between two reports; zero runs no report thread (the owner calls PublishReports).
        std::chrono::milliseconds reportInterval{100};
        AudioFormat format;
    };

    enum class OpenResult { Opened, CannotPlay, NoDevice };

    AudioPlayer();
    explicit AudioPlayer(Options options);
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    /// Who hears the reports (on the report thread). Either may be empty.
    void SetReports(TimeReport position, TimeReport duration);

    /// Makes `path` the source, paused at 0. On failure the player is Closed (the previous file
    /// is gone as well) and Error() says why: CannotPlay when the file cannot be read or decoded
    /// (checked first, with or without a device), NoDevice when no audio device opens.
    OpenResult Open(const std::filesystem::path& path);
    /// No source: Closed.
    void Close();
    /// Starts or resumes the audio; nothing while Closed. At the end of the audio it starts over.
    void Play();
    /// Pauses where the audio is heard now; nothing unless Playing.
    void Pause();
    /// Moves the audio to `ticks` (cut to 0 ... duration), playing or not. 0 rewinds.
    void SetPosition(int64_t ticks);

    MediaState GetState() const;
    int64_t GetPosition() const;
    /// Length of the audio in ticks: the container's figure, replaced by the length of what was
    /// really decoded once the audio has ended; 0 without a source.
    int64_t GetDuration() const;
    std::string Error() const;
    const AudioFormat& GetFormat() const { return m_options.format; }

    /// Runs the reports once: the duration if it changed since the last report, then the
    /// position if it moved (while there is a source). The report thread calls this.
    void PublishReports();

private:
    void Fill(float* samples, int frames);
    int64_t PositionLocked() const;
    void RepositionLocked(int64_t ticks);
    void ReportLoop();
    void WakeReports();

    Options m_options;
    std::unique_ptr<AudioOutput> m_output;

    std::mutex m_control;  // one control call at a time; taken before m_lock, never inside it

    mutable std::mutex m_lock;  // everything below, shared with the output's thread
    std::unique_ptr<AudioDecoder> m_decoder;
    MediaState m_state = MediaState::Closed;
    int64_t m_durationTicks = 0;
    int64_t m_baseTicks = 0;         // position of the first frame delivered since the last reposition
    int64_t m_deliveredFrames = 0;   // frames handed to the output since then (silence after the end included)
    int64_t m_audioFrames = 0;       // of which real audio
    int64_t m_lastFillFrames = 0;
    int64_t m_lastFillCount = 0;     // counter reading at the last fill
    int64_t m_latencyFrames = 0;     // the output's, once it is open
    bool m_dataEnded = false;
    std::string m_error;

    std::mutex m_reportLock;  // the report callbacks and the last reported values
    TimeReport m_positionReport;
    TimeReport m_durationReport;
    int64_t m_reportedPosition = -1;
    int64_t m_reportedDuration = -1;

    std::mutex m_wakeLock;
    std::condition_variable m_wake;
    bool m_wakeRequested = false;
    bool m_quit = false;
    std::thread m_reportThread;
};

}  // namespace ProjectTavrin
