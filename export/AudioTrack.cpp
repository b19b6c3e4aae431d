#include "export/AudioTrack.h"

#include <algorithm>

#include "export/SampleClock.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace ProjectTavrin {
namespace {

constexpr int kFallbackSampleRate = 48000;
constexpr int64_t kBitsPerChannel = 96000;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

/// The source's rate when the AAC encoder takes it, else 48 kHz.
int EncoderRate(const AVCodec* codec, int sourceRate) {
    if (codec->supported_samplerates)
        for (const int* rate = codec->supported_samplerates; *rate; ++rate)
            if (*rate == sourceRate) return sourceRate;
    return kFallbackSampleRate;
}

}  // namespace

struct AudioTrack::State {
    AVFormatContext* input = nullptr;
    int inputStream = -1;
    AVCodecContext* decoder = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVCodecContext* encoder = nullptr;
    AVFormatContext* output = nullptr;
    AVStream* stream = nullptr;
    AVPacket* readPacket = nullptr;
    AVPacket* writePacket = nullptr;
    AVFrame* decoded = nullptr;
    AVFrame* frame = nullptr;
    int64_t samplesEncoded = 0;
    bool sourceDone = false;
    bool finished = false;
    std::string error;

    ~State() {
        av_frame_free(&frame);
        av_frame_free(&decoded);
        av_packet_free(&writePacket);
        av_packet_free(&readPacket);
        avcodec_free_context(&encoder);
        if (fifo) av_audio_fifo_free(fifo);
        swr_free(&resampler);
        avcodec_free_context(&decoder);
        avformat_close_input(&input);
    }

    bool Fail(std::string text) {
        error = std::move(text);
        return false;
    }

    /// Resamples `frame` (or, when null, what the resampler still holds) into the queue.
    bool Resample(const AVFrame* source) {
        const int inSamples = source ? source->nb_samples : 0;
        const int outSamples = swr_get_out_samples(resampler, inSamples);
        if (outSamples <= 0) return true;
        uint8_t** buffers = nullptr;
        if (av_samples_alloc_array_and_samples(&buffers, nullptr, encoder->ch_layout.nb_channels, outSamples,
                                               encoder->sample_fmt, 0) < 0)
            return Fail("out of memory while resampling the audio");
        const int converted = swr_convert(resampler, buffers, outSamples,
                                          source ? const_cast<const uint8_t**>(source->extended_data) : nullptr, inSamples);
        bool ok = true;
        if (converted > 0 && av_audio_fifo_write(fifo, reinterpret_cast<void**>(buffers), converted) < converted)
            ok = Fail("out of memory while queueing the audio");
        av_freep(&buffers[0]);
        av_freep(&buffers);
        return ok;
    }

    /// Takes every frame the decoder has ready into the queue.
    bool ReceiveDecoded() {
        while (true) {
            const int result = avcodec_receive_frame(decoder, decoded);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) return true;  // a damaged stretch is skipped, not fatal
            const bool ok = Resample(decoded);
            av_frame_unref(decoded);
            if (!ok) return false;
        }
    }

    /// Decodes until the queue holds `samples` or the source is used up.
    bool Fill(int samples) {
        while (av_audio_fifo_size(fifo) < samples && !sourceDone) {
            const int result = av_read_frame(input, readPacket);
            if (result < 0) {
                // End of the file (or an unreadable rest): drain the decoder and the resampler.
                avcodec_send_packet(decoder, nullptr);
                if (!ReceiveDecoded() || !Resample(nullptr)) return false;
                sourceDone = true;
                break;
            }
            if (readPacket->stream_index == inputStream && avcodec_send_packet(decoder, readPacket) >= 0) {
                if (!ReceiveDecoded()) {
                    av_packet_unref(readPacket);
                    return false;
                }
            }
            av_packet_unref(readPacket);
        }
        return true;
    }

    bool WritePackets() {
        while (true) {
            const int result = avcodec_receive_packet(encoder, writePacket);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) return Fail("the AAC encoder failed: " + AvError(result));
            av_packet_rescale_ts(writePacket, encoder->time_base, stream->time_base);
            writePacket->stream_index = stream->index;
            const int written = av_interleaved_write_frame(output, writePacket);
            if (written < 0) return Fail("the audio could not be written: " + AvError(written));
        }
    }

    /// Encodes `samples` samples from the queue (fewer than a whole frame only as the last one).
    bool Encode(int samples) {
        frame->nb_samples = encoder->frame_size;
        if (av_frame_make_writable(frame) < 0) return Fail("out of memory while encoding the audio");
        frame->nb_samples = samples;
        av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->data), samples);
        frame->pts = samplesEncoded;
        samplesEncoded += samples;
        const int result = avcodec_send_frame(encoder, frame);
        if (result < 0) return Fail("the AAC encoder refused a frame: " + AvError(result));
        return WritePackets();
    }
};

AudioTrack::AudioTrack() : m_state(std::make_unique<State>()) {}
AudioTrack::~AudioTrack() = default;

bool AudioTrack::Open(const std::filesystem::path& file, AVFormatContext* output, std::string& error) {
    State& s = *m_state;
    auto fail = [&](std::string text) {
        error = std::move(text);
        m_state = std::make_unique<State>();
        return false;
    };
    const std::string name = file.string();
    int result = avformat_open_input(&s.input, name.c_str(), nullptr, nullptr);
    if (result < 0) return fail("cannot open the audio file " + name + ": " + AvError(result));
    if ((result = avformat_find_stream_info(s.input, nullptr)) < 0)
        return fail("cannot read the audio file " + name + ": " + AvError(result));
    const AVCodec* decoderCodec = nullptr;
    s.inputStream = av_find_best_stream(s.input, AVMEDIA_TYPE_AUDIO, -1, -1, &decoderCodec, 0);
    if (s.inputStream < 0 || !decoderCodec) return fail("the file " + name + " has no audio that can be decoded");
    s.decoder = avcodec_alloc_context3(decoderCodec);
    if (!s.decoder || avcodec_parameters_to_context(s.decoder, s.input->streams[s.inputStream]->codecpar) < 0 ||
        avcodec_open2(s.decoder, decoderCodec, nullptr) < 0)
        return fail("cannot decode the audio of " + name);
    const int channels = s.decoder->ch_layout.nb_channels;
    if (channels <= 0 || s.decoder->sample_rate <= 0) return fail("the audio of " + name + " has no channels or rate");
    AVChannelLayout sourceLayout{};
    if (s.decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&sourceLayout, channels);
    else
        av_channel_layout_copy(&sourceLayout, &s.decoder->ch_layout);

    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!aac) {
        av_channel_layout_uninit(&sourceLayout);
        return fail("no AAC encoder is available");
    }
    s.encoder = avcodec_alloc_context3(aac);
    s.encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    s.encoder->sample_rate = EncoderRate(aac, s.decoder->sample_rate);
    // Mono stays mono; everything else is mixed down to stereo.
    av_channel_layout_default(&s.encoder->ch_layout, channels == 1 ? 1 : 2);
    s.encoder->bit_rate = kBitsPerChannel * s.encoder->ch_layout.nb_channels;
    s.encoder->time_base = AVRational{1, s.encoder->sample_rate};
    if (output->oformat->flags & AVFMT_GLOBALHEADER) s.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((result = avcodec_open2(s.encoder, aac, nullptr)) < 0) {
        av_channel_layout_uninit(&sourceLayout);
        return fail("the AAC encoder cannot start: " + AvError(result));
    }
    result = swr_alloc_set_opts2(&s.resampler, &s.encoder->ch_layout, s.encoder->sample_fmt, s.encoder->sample_rate,
                                 &sourceLayout, s.decoder->sample_fmt, s.decoder->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&sourceLayout);
    if (result < 0 || swr_init(s.resampler) < 0) return fail("the audio of " + name + " cannot be resampled");
    s.fifo = av_audio_fifo_alloc(s.encoder->sample_fmt, s.encoder->ch_layout.nb_channels, s.encoder->frame_size * 4);
    s.readPacket = av_packet_alloc();
    s.writePacket = av_packet_alloc();
    s.decoded = av_frame_alloc();
    s.frame = av_frame_alloc();
    if (!s.fifo || !s.readPacket || !s.writePacket || !s.decoded || !s.frame) return fail("out of memory");
    s.frame->format = s.encoder->sample_fmt;
    s.frame->sample_rate = s.encoder->sample_rate;
    s.frame->nb_samples = s.encoder->frame_size;
    av_channel_layout_copy(&s.frame->ch_layout, &s.encoder->ch_layout);
    if (av_frame_get_buffer(s.frame, 0) < 0) return fail("out of memory");

    s.stream = avformat_new_stream(output, nullptr);
    if (!s.stream || avcodec_parameters_from_context(s.stream->codecpar, s.encoder) < 0)
        return fail("cannot add the audio stream");
    s.stream->time_base = s.encoder->time_base;
    s.output = output;
    return true;
}

bool AudioTrack::EncodeUntil(int64_t target) {
    State& s = *m_state;
    if (!s.output || s.finished) return true;
    const int frameSize = s.encoder->frame_size;
    while (s.samplesEncoded + frameSize <= target) {
        if (!s.Fill(frameSize)) return false;
        // A short rest of the source waits for Finish: only the last frame may be short.
        if (av_audio_fifo_size(s.fifo) < frameSize) break;
        if (!s.Encode(frameSize)) return false;
    }
    return true;
}

bool AudioTrack::Finish(int64_t target) {
    State& s = *m_state;
    if (!s.output || s.finished) return true;
    s.finished = true;
    const int frameSize = s.encoder->frame_size;
    while (s.samplesEncoded < target) {
        const int wanted = static_cast<int>(std::min<int64_t>(frameSize, target - s.samplesEncoded));
        if (!s.Fill(wanted)) return false;
        const int take = std::min(wanted, av_audio_fifo_size(s.fifo));
        if (take <= 0) break;
        if (!s.Encode(take)) return false;
        if (take < frameSize) break;
    }
    const int result = avcodec_send_frame(s.encoder, nullptr);
    if (result < 0 && result != AVERROR_EOF) return s.Fail("the AAC encoder cannot be drained: " + AvError(result));
    return s.WritePackets();
}

int64_t AudioTrack::SamplesEncoded() const { return m_state->samplesEncoded; }
int AudioTrack::SampleRate() const { return m_state->encoder ? m_state->encoder->sample_rate : 0; }
const std::string& AudioTrack::Error() const { return m_state->error; }

}  // namespace ProjectTavrin
