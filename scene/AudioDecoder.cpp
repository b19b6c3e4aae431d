#include "scene/AudioDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

namespace ProjectTavrin {
namespace {

constexpr AVRational kTickBase{1, 10'000'000};
// Broken packets in a row after which a file counts as undecodable rather than damaged in
// places (damaged stretches are skipped).
constexpr int kMaxBadPacketsInARow = 64;
// Sample rates and channel counts beyond any real recording: a damaged header claiming a rate of
// hundreds of megahertz would have the resampler build filter tables of gigabytes.
constexpr int kMinSampleRate = 1'000;
constexpr int kMaxSampleRate = 1'536'000;
constexpr int kMaxChannels = 64;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

}  // namespace

struct AudioDecoder::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    AudioFormat out;
    int64_t startPts = 0;  // the stream's first timestamp, counted as time zero
    int64_t durationTicks = 0;

    std::vector<float> pending;  // converted frames not yet handed out
    size_t pendingOffset = 0;    // in floats
    bool draining = false;       // the demuxer is done; the decoder is being emptied
    bool ended = false;
    int badPackets = 0;

    // After a seek the demuxer lands at or before the target; frames before it are dropped.
    int64_t targetFrame = 0;   // in output frames from the start
    int64_t cursorFrame = 0;   // output frame index of the next converted frame
    bool cursorKnown = true;

    // What the resampler was set up for. A stream may change format, rate or channels between
    // frames (MP3 and ADTS streams can), and feeding the old setup a frame of another shape
    // reads planes that are not there.
    int inFormat = -1;
    int inRate = 0;
    AVChannelLayout inLayout{};

    ~State() {
        av_channel_layout_uninit(&inLayout);
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&resampler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    // (Re)builds the resampler for input of this shape; false when it cannot convert it.
    bool SetUpResampler(int format, int rate, const AVChannelLayout& layout) {
        if (rate < kMinSampleRate || rate > kMaxSampleRate) return false;
        if (layout.nb_channels <= 0 || layout.nb_channels > kMaxChannels) return false;
        AVChannelLayout in{};
        if (layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, layout.nb_channels);
        else if (av_channel_layout_copy(&in, &layout) < 0)
            return false;
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, out.channels);
        swr_free(&resampler);
        int result = swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_FLT, out.sampleRate, &in,
                                         static_cast<AVSampleFormat>(format), rate, 0, nullptr);
        av_channel_layout_uninit(&outLayout);
        av_channel_layout_uninit(&in);
        if (result >= 0) result = swr_init(resampler);
        if (result < 0) {
            swr_free(&resampler);
            return false;
        }
        inFormat = format;
        inRate = rate;
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_copy(&inLayout, &layout);
        return true;
    }

    bool MatchesResampler(const AVFrame& decoded) const {
        return decoded.format == inFormat && decoded.sample_rate == inRate &&
               av_channel_layout_compare(&decoded.ch_layout, &inLayout) == 0;
    }

    size_t PendingFrames() const { return (pending.size() - pendingOffset) / static_cast<size_t>(out.channels); }

    // Converts the decoded frame (or, with null, what the resampler still holds) into pending.
    bool Convert(const AVFrame* decoded) {
        if (decoded && !MatchesResampler(*decoded)) {
            // Samples still held for the old shape are dropped with it: a few at most.
            if (!SetUpResampler(decoded->format, decoded->sample_rate, decoded->ch_layout)) return false;
        }
        if (!resampler) return decoded == nullptr;  // nothing was ever decoded, so nothing is held
        const int inFrames = decoded ? decoded->nb_samples : 0;
        const int capacity = swr_get_out_samples(resampler, inFrames);
        if (capacity < 0) return false;
        if (pendingOffset == pending.size()) {
            pending.clear();
            pendingOffset = 0;
        }
        const size_t start = pending.size();
        pending.resize(start + static_cast<size_t>(capacity) * out.channels);
        auto* target = reinterpret_cast<uint8_t*>(pending.data() + start);
        const int made = swr_convert(resampler, &target, capacity,
                                     decoded ? const_cast<const uint8_t**>(decoded->extended_data) : nullptr,
                                     inFrames);
        if (made < 0) {
            pending.resize(start);
            return false;
        }
        pending.resize(start + static_cast<size_t>(made) * out.channels);
        // Drop what lies before the seek target.
        if (cursorFrame < targetFrame) {
            const int64_t drop = std::min<int64_t>(targetFrame - cursorFrame, made);
            pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(start),
                          pending.begin() + static_cast<std::ptrdiff_t>(start + drop * out.channels));
        }
        cursorFrame += made;
        return true;
    }

    // Decodes until something is pending or the end is reached; false on a failure.
    bool DecodeMore(std::string& error) {
        while (PendingFrames() == 0 && !ended) {
            const int received = avcodec_receive_frame(codec, frame);
            if (received == 0) {
                if (!cursorKnown) {
                    const int64_t pts = frame->best_effort_timestamp;
                    if (pts != AV_NOPTS_VALUE) {
                        const AVRational tb = format->streams[stream]->time_base;
                        cursorFrame = av_rescale_q(pts - startPts, tb, AVRational{1, out.sampleRate});
                    } else {
                        cursorFrame = targetFrame;  // no timestamp: trust the demuxer's landing
                    }
                    cursorKnown = true;
                }
                const bool converted = Convert(frame);
                av_frame_unref(frame);
                if (!converted) {
                    error = "the samples cannot be converted";
                    return false;
                }
                continue;
            }
            if (received == AVERROR_EOF) {
                if (!Convert(nullptr)) {
                    error = "the samples cannot be converted";
                    return false;
                }
                ended = true;
                break;
            }
            if (received != AVERROR(EAGAIN)) {
                error = "decoding failed: " + AvError(received);
                return false;
            }
            if (draining) {
                ended = true;  // a decoder that neither gives frames nor ends: nothing more
                break;
            }
            const int read = av_read_frame(format, packet);
            if (read < 0) {
                // End of file, or a read error that we treat as the end of what can be played.
                draining = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (packet->stream_index != stream) {
                av_packet_unref(packet);
                continue;
            }
            const int sent = avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
            if (sent < 0 && sent != AVERROR(EAGAIN)) {
                if (++badPackets > kMaxBadPacketsInARow) {
                    error = "the audio data is damaged: " + AvError(sent);
                    return false;
                }
            } else {
                badPackets = 0;
            }
        }
        return true;
    }
};

AudioDecoder::AudioDecoder() = default;
AudioDecoder::~AudioDecoder() = default;

bool AudioDecoder::Open(const std::filesystem::path& path, const AudioFormat& format) {
    Close();
    m_error.clear();
    auto state = std::make_unique<State>();
    state->out = format;
    auto fail = [&](std::string why) {
        m_error = std::move(why);
        return false;
    };
    if (format.sampleRate <= 0 || format.channels <= 0) return fail("the output format is not valid");

    int result = avformat_open_input(&state->format, path.string().c_str(), nullptr, nullptr);
    if (result < 0) return fail("the file cannot be opened: " + AvError(result));
    result = avformat_find_stream_info(state->format, nullptr);
    if (result < 0) return fail("the file's streams cannot be read: " + AvError(result));
    const AVCodec* decoder = nullptr;
    state->stream = av_find_best_stream(state->format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (state->stream < 0 || !decoder) return fail("the file holds no audio that can be decoded");
    AVStream* stream = state->format->streams[state->stream];

    state->codec = avcodec_alloc_context3(decoder);
    if (!state->codec) return fail("out of memory");
    result = avcodec_parameters_to_context(state->codec, stream->codecpar);
    if (result >= 0) result = avcodec_open2(state->codec, decoder, nullptr);
    if (result < 0) return fail("the audio decoder cannot start: " + AvError(result));

    // The resampler is set up for the first decoded frame's shape (Convert), which is what
    // really arrives; some decoders only know it then.
    state->packet = av_packet_alloc();
    state->frame = av_frame_alloc();
    if (!state->packet || !state->frame) return fail("out of memory");

    state->startPts = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    int64_t duration = 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        duration = av_rescale_q(stream->duration, stream->time_base, kTickBase);
    else if (state->format->duration != AV_NOPTS_VALUE && state->format->duration > 0)
        duration = av_rescale_q(state->format->duration, AVRational{1, AV_TIME_BASE}, kTickBase);
    state->durationTicks = std::max<int64_t>(duration, 0);

    // A file whose first samples cannot be decoded is not playable; finding out now lets the
    // caller say so when the file is chosen rather than when play is pressed.
    std::string error;
    if (!state->DecodeMore(error)) return fail(error);
    if (state->PendingFrames() == 0) return fail("the file holds no audio that can be decoded");

    m_state = std::move(state);
    return true;
}

void AudioDecoder::Close() { m_state.reset(); }

bool AudioDecoder::IsOpen() const { return m_state != nullptr; }

int64_t AudioDecoder::DurationTicks() const { return m_state ? m_state->durationTicks : 0; }

int AudioDecoder::Read(float* out, int frames) {
    if (!m_state || frames <= 0) return 0;
    State& s = *m_state;
    int written = 0;
    while (written < frames) {
        if (s.PendingFrames() == 0) {
            if (!s.DecodeMore(m_error)) return -1;
            if (s.PendingFrames() == 0) break;
        }
        const int take = static_cast<int>(std::min<size_t>(s.PendingFrames(), static_cast<size_t>(frames - written)));
        const size_t floats = static_cast<size_t>(take) * s.out.channels;
        std::memcpy(out + static_cast<size_t>(written) * s.out.channels, s.pending.data() + s.pendingOffset,
                    floats * sizeof(float));
        s.pendingOffset += floats;
        written += take;
    }
    return written;
}

bool AudioDecoder::Seek(int64_t ticks) {
    if (!m_state) return false;
    State& s = *m_state;
    ticks = std::max<int64_t>(ticks, 0);
    AVStream* stream = s.format->streams[s.stream];
    const int64_t target = av_rescale_q(ticks, kTickBase, stream->time_base) + s.startPts;
    const int result = av_seek_frame(s.format, s.stream, target, AVSEEK_FLAG_BACKWARD);
    if (result < 0) {
        m_error = "the file cannot seek: " + AvError(result);
        return false;
    }
    avcodec_flush_buffers(s.codec);
    // Re-initialising drops the samples the resampler still holds from before the seek.
    if (s.resampler) swr_init(s.resampler);
    s.pending.clear();
    s.pendingOffset = 0;
    s.draining = false;
    s.ended = false;
    s.badPackets = 0;
    s.targetFrame = av_rescale(ticks, s.out.sampleRate, 10'000'000);
    s.cursorFrame = 0;
    s.cursorKnown = false;
    return true;
}

std::string AudioDecoder::Error() const { return m_error; }

}  // namespace ProjectTavrin
