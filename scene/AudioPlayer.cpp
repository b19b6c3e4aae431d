#include "scene/AudioPlayer.h"

#include <algorithm>
#include <utility>

#include "core/MessageLog.h"
#include "scene/AudioDecoder.h"
#include "scene/SdlAudioOutput.h"

namespace ProjectTavrin {
namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;

int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

AudioPlayer::Options Completed(AudioPlayer::Options options) {
    if (!options.makeOutput) options.makeOutput = &MakeSdlAudioOutput;
    if (!options.counter || options.counterFrequency <= 0) {
        options.counter = &SteadyNanoseconds;
        options.counterFrequency = 1'000'000'000;
    }
    if (options.format.sampleRate <= 0) options.format.sampleRate = 48'000;
    if (options.format.channels <= 0) options.format.channels = 2;
    return options;
}

}  // namespace

bool IsAudioFileType(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (std::string_view type : kAudioFileTypes)
        if (extension == type) return true;
    return false;
}

AudioPlayer::AudioPlayer() : AudioPlayer(Options{}) {}

AudioPlayer::AudioPlayer(Options options) : m_options(Completed(std::move(options))) {
    if (m_options.reportInterval.count() > 0) m_reportThread = std::thread([this] { ReportLoop(); });
}

AudioPlayer::~AudioPlayer() {
    {
        std::lock_guard<std::mutex> guard(m_wakeLock);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_reportThread.joinable()) m_reportThread.join();
    std::lock_guard<std::mutex> control(m_control);
    if (m_output) m_output->Pause();
    m_output.reset();
}

void AudioPlayer::SetReports(TimeReport position, TimeReport duration) {
    std::lock_guard<std::mutex> guard(m_reportLock);
    m_positionReport = std::move(position);
    m_durationReport = std::move(duration);
}

AudioPlayer::OpenResult AudioPlayer::Open(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> control(m_control);
    if (m_output) m_output->Pause();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_decoder.reset();
        m_state = MediaState::Opening;
        m_durationTicks = 0;
        RepositionLocked(0);
    }
    auto fail = [&](OpenResult result, std::string why) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_state = MediaState::Closed;
        m_error = std::move(why);
        return result;
    };

    // The file is checked first, so a file that cannot be played is refused whether or not a
    // device exists.
    auto decoder = std::make_unique<AudioDecoder>();
    if (!decoder->Open(path, m_options.format)) return fail(OpenResult::CannotPlay, decoder->Error());

    if (!m_output) {
        std::unique_ptr<AudioOutput> output = m_options.makeOutput();
        if (!output) return fail(OpenResult::NoDevice, "no audio output");
        if (!output->Open(m_options.format, [this](float* samples, int frames) { Fill(samples, frames); }))
            return fail(OpenResult::NoDevice, output->Error());
        m_output = std::move(output);
        std::lock_guard<std::mutex> guard(m_lock);
        m_latencyFrames = m_output->LatencyFrames();
    }

    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_durationTicks = decoder->DurationTicks();
        m_decoder = std::move(decoder);
        m_state = MediaState::Paused;
        m_error.clear();
        RepositionLocked(0);
    }
    {
        std::lock_guard<std::mutex> guard(m_reportLock);
        m_reportedPosition = -1;
        m_reportedDuration = -1;
    }
    WakeReports();
    return OpenResult::Opened;
}

void AudioPlayer::Close() {
    std::lock_guard<std::mutex> control(m_control);
    if (m_output) m_output->Pause();
    std::lock_guard<std::mutex> guard(m_lock);
    m_decoder.reset();
    m_state = MediaState::Closed;
    m_durationTicks = 0;
    RepositionLocked(0);
}

void AudioPlayer::Play() {
    std::lock_guard<std::mutex> control(m_control);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_decoder || m_state == MediaState::Playing) return;
        const int64_t position = PositionLocked();
        const bool atEnd = m_dataEnded || (m_durationTicks > 0 && position >= m_durationTicks);
        // Without looping, play at the end starts the audio over, as a media player does.
        RepositionLocked(atEnd ? 0 : position);
        m_state = MediaState::Playing;
    }
    m_output->Start();
    WakeReports();
}

void AudioPlayer::Pause() {
    std::lock_guard<std::mutex> control(m_control);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_state != MediaState::Playing) return;
    }
    // Once the output has stopped pulling, what it still held is dropped: the audio resumes from
    // the position heard at the pause, not from where decoding had got to.
    m_output->Pause();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        RepositionLocked(PositionLocked());
        m_state = MediaState::Paused;
    }
    WakeReports();
}

void AudioPlayer::SetPosition(int64_t ticks) {
    std::lock_guard<std::mutex> control(m_control);
    bool playing = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_decoder) return;
        playing = m_state == MediaState::Playing;
    }
    if (playing) m_output->Pause();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ticks = std::max<int64_t>(ticks, 0);
        if (m_durationTicks > 0) ticks = std::min(ticks, m_durationTicks);
        RepositionLocked(ticks);
        if (m_state == MediaState::Stopped) m_state = MediaState::Paused;
    }
    if (playing) m_output->Start();
    WakeReports();
}

MediaState AudioPlayer::GetState() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state;
}

int64_t AudioPlayer::GetPosition() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return PositionLocked();
}

int64_t AudioPlayer::GetDuration() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_durationTicks;
}

std::string AudioPlayer::Error() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_error;
}

int64_t AudioPlayer::PositionLocked() const {
    if (m_state != MediaState::Playing) return m_baseTicks;
    const int64_t rate = m_options.format.sampleRate;
    // The last buffer starts sounding once the device has played what it held before it; from
    // the fill on, the clock carries the position across that buffer.
    int64_t heard = m_deliveredFrames - m_lastFillFrames - m_latencyFrames;
    if (m_lastFillFrames > 0) {
        const int64_t sinceFill = std::max<int64_t>(m_options.counter() - m_lastFillCount, 0);
        const int64_t carried = static_cast<int64_t>(static_cast<double>(sinceFill) * static_cast<double>(rate) /
                                                     static_cast<double>(m_options.counterFrequency));
        heard += std::min(carried, m_lastFillFrames);
    }
    heard = std::max<int64_t>(heard, 0);
    int64_t position = m_baseTicks + heard * kTicksPerSecond / rate;
    if (m_durationTicks > 0) position = std::min(position, m_durationTicks);
    return position;
}

void AudioPlayer::RepositionLocked(int64_t ticks) {
    if (m_decoder && !m_decoder->Seek(ticks)) {
        // A file that cannot seek plays on from where decoding stands; the position then counts
        // from the requested point, as close as this file allows.
        MessageLog::Instance().AppendUtf8("The audio cannot move to the requested position: " + m_decoder->Error());
    }
    m_baseTicks = ticks;
    m_deliveredFrames = 0;
    m_audioFrames = 0;
    m_lastFillFrames = 0;
    m_lastFillCount = m_options.counter();
    m_dataEnded = false;
}

void AudioPlayer::Fill(float* samples, int frames) {
    const int channels = m_options.format.channels;
    std::fill(samples, samples + static_cast<size_t>(frames) * channels, 0.0f);
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_state != MediaState::Playing || !m_decoder) return;
    int got = 0;
    if (!m_dataEnded) {
        got = m_decoder->Read(samples, frames);
        if (got < 0) {
            // The audio broke off: it stops where it was last heard; the animation goes on alone.
            MessageLog::Instance().AppendUtf8("The audio stopped: " + m_decoder->Error());
            m_baseTicks = PositionLocked();
            m_state = MediaState::Stopped;
            std::fill(samples, samples + static_cast<size_t>(frames) * channels, 0.0f);
            return;
        }
        m_audioFrames += got;
        if (got < frames) {
            // The real end: what was decoded is the length, whatever the container claimed, so
            // the position can reach the duration and end-of-media is seen.
            m_dataEnded = true;
            m_durationTicks = m_baseTicks + m_audioFrames * kTicksPerSecond / m_options.format.sampleRate;
        }
    }
    m_deliveredFrames += frames;
    m_lastFillFrames = frames;
    m_lastFillCount = m_options.counter();
}

void AudioPlayer::PublishReports() {
    MediaState state;
    int64_t position;
    int64_t duration;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        state = m_state;
        position = PositionLocked();
        duration = m_durationTicks;
    }
    std::lock_guard<std::mutex> guard(m_reportLock);
    if (state == MediaState::Closed || state == MediaState::Opening) return;
    if (duration != m_reportedDuration) {
        m_reportedDuration = duration;
        if (m_durationReport) m_durationReport(duration);
    }
    if (position != m_reportedPosition) {
        m_reportedPosition = position;
        if (m_positionReport) m_positionReport(position);
    }
}

void AudioPlayer::ReportLoop() {
    std::unique_lock<std::mutex> lock(m_wakeLock);
    while (!m_quit) {
        m_wake.wait_for(lock, m_options.reportInterval, [this] { return m_quit || m_wakeRequested; });
        if (m_quit) break;
        m_wakeRequested = false;
        lock.unlock();
        PublishReports();
        lock.lock();
    }
}

void AudioPlayer::WakeReports() {
    {
        std::lock_guard<std::mutex> guard(m_wakeLock);
        m_wakeRequested = true;
    }
    m_wake.notify_all();
}

}  // namespace ProjectTavrin
