#include "export/VideoEncoder.h"

#include <unistd.h>

#include <optional>
#include <system_error>

#include "export/AudioTrack.h"
#include "export/ExportSettings.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace ProjectTavrin {
namespace {

constexpr uint32_t kLargestSourceSide = 16384;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

}  // namespace

struct VideoEncoder::State {
    VideoEncoderSettings settings;
    std::filesystem::path temporary;
    AVFormatContext* output = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    // What the scaler was last set up for.
    uint32_t sourceWidth = 0, sourceHeight = 0;
    PixelOrder sourceOrder = PixelOrder::Rgba;
    std::unique_ptr<AudioTrack> audio;
    std::optional<SampleClock> clock;
    bool open = false;
    uint32_t written = 0;
    uint32_t failed = 0;
    std::string error;
    std::string audioWarning;

    ~State() { Release(); }

    void Release() {
        audio.reset();
        sws_freeContext(scaler);
        scaler = nullptr;
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&encoder);
        if (output) {
            if (output->pb) avio_closep(&output->pb);
            avformat_free_context(output);
            output = nullptr;
        }
        stream = nullptr;
        open = false;
    }

    void RemoveTemporary() {
        std::error_code ignored;
        if (!temporary.empty()) std::filesystem::remove(temporary, ignored);
    }

    bool Fail(std::string text) {
        error = std::move(text);
        Release();
        RemoveTemporary();
        return false;
    }

    bool WritePackets() {
        while (true) {
            const int result = avcodec_receive_packet(encoder, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) {
                error = "the H.264 encoder failed: " + AvError(result);
                return false;
            }
            packet->duration = clock->SampleDuration();
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int writeResult = av_interleaved_write_frame(output, packet);
            if (writeResult < 0) {
                error = "the video could not be written: " + AvError(writeResult);
                return false;
            }
        }
    }

    bool PrepareScaler(uint32_t width, uint32_t height, PixelOrder order) {
        if (scaler && width == sourceWidth && height == sourceHeight && order == sourceOrder) return true;
        sws_freeContext(scaler);
        const AVPixelFormat format = order == PixelOrder::Rgba ? AV_PIX_FMT_RGBA : AV_PIX_FMT_BGRA;
        scaler = sws_getContext(static_cast<int>(width), static_cast<int>(height), format, encoder->width, encoder->height,
                                AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
        if (!scaler) return false;
        // Full-range RGB in, limited-range BT.709 out: what the stream is tagged with.
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
        sourceWidth = width;
        sourceHeight = height;
        sourceOrder = order;
        return true;
    }

    bool Encode(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t rowPitch, PixelOrder order) {
        if (!pixels || width == 0 || height == 0 || width > kLargestSourceSide || height > kLargestSourceSide ||
            rowPitch < width * 4)
            return false;
        if (!PrepareScaler(width, height, order)) return false;
        if (av_frame_make_writable(frame) < 0) return false;
        const uint8_t* planes[1] = {pixels};
        const int strides[1] = {static_cast<int>(rowPitch)};
        if (sws_scale(scaler, planes, strides, 0, static_cast<int>(height), frame->data, frame->linesize) !=
            encoder->height)
            return false;
        frame->pts = clock->SampleTime();
        const int result = avcodec_send_frame(encoder, frame);
        if (result < 0) {
            error = "the H.264 encoder refused a frame: " + AvError(result);
            return false;
        }
        if (!WritePackets()) return false;
        // Sound up to the end of this frame, so the two streams go into the file side by side.
        return !audio ||
               audio->EncodeUntil(clock->AudioSamplesBefore(clock->SampleTime() + clock->SampleDuration(), audio->SampleRate()));
    }
};

VideoEncoder::VideoEncoder() : m_state(std::make_unique<State>()) {}

VideoEncoder::~VideoEncoder() {
    if (m_state->open) {
        m_state->Release();
        m_state->RemoveTemporary();
    }
}

std::filesystem::path VideoEncoder::TemporaryPathFor(const std::filesystem::path& target) {
    return target.parent_path() / ("." + target.filename().string() + "." + std::to_string(getpid()) + ".part");
}

bool VideoEncoder::Open(const VideoEncoderSettings& settings) {
    // The libraries' own progress chatter would bury the export's; only their errors are shown.
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_ERROR);
        return true;
    }();
    (void)quiet;
    m_state = std::make_unique<State>();
    State& s = *m_state;
    s.settings = settings;
    if (!IsEncodableSize({settings.width, settings.height}))
        return s.Fail("the frame size " + std::to_string(settings.width) + "x" + std::to_string(settings.height) +
                      " cannot be encoded (both sides must be even, 2 to 8192)");
    if (settings.fps == 0) return s.Fail("the frame rate must be at least 1");
    if (settings.bitrate <= 0) return s.Fail("the bitrate must be positive");
    if (settings.output.empty() || settings.output.filename().empty()) return s.Fail("no output file was given");
    s.temporary = TemporaryPathFor(settings.output);
    const std::string temporaryName = s.temporary.string();

    int result = avformat_alloc_output_context2(&s.output, nullptr, "mp4", temporaryName.c_str());
    if (result < 0 || !s.output) return s.Fail("the MP4 writer cannot start: " + AvError(result));
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return s.Fail("the x264 encoder is not available");
    s.encoder = avcodec_alloc_context3(codec);
    if (!s.encoder) return s.Fail("out of memory");
    AVCodecContext& e = *s.encoder;
    e.width = static_cast<int>(settings.width);
    e.height = static_cast<int>(settings.height);
    e.pix_fmt = AV_PIX_FMT_YUV420P;
    // Frame i is stamped i in a time base of 1/fps: the rate a reader sees is exactly fps.
    e.time_base = AVRational{1, static_cast<int>(settings.fps)};
    e.framerate = AVRational{static_cast<int>(settings.fps), 1};
    e.sample_aspect_ratio = AVRational{1, 1};
    e.bit_rate = EncoderBitsPerSecond(settings.bitrate);
    e.gop_size = static_cast<int>(settings.fps) * 2;
    e.color_range = AVCOL_RANGE_MPEG;
    e.colorspace = AVCOL_SPC_BT709;
    e.color_primaries = AVCOL_PRI_BT709;
    e.color_trc = AVCOL_TRC_IEC61966_2_1;  // the renderer writes sRGB-encoded values
    if (s.output->oformat->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(e.priv_data, "preset", settings.preset.c_str(), 0);
    if ((result = avcodec_open2(s.encoder, codec, nullptr)) < 0)
        return s.Fail("the H.264 encoder cannot start: " + AvError(result));

    s.stream = avformat_new_stream(s.output, nullptr);
    if (!s.stream || avcodec_parameters_from_context(s.stream->codecpar, s.encoder) < 0)
        return s.Fail("cannot add the video stream");
    // The MP4 writer picks its own track time scale (a multiple of the rate); packets are
    // rescaled into it exactly.
    s.stream->time_base = e.time_base;
    s.stream->avg_frame_rate = e.framerate;
    s.stream->r_frame_rate = e.framerate;

    if (!settings.audio.empty()) {
        s.audio = std::make_unique<AudioTrack>();
        if (!s.audio->Open(settings.audio, s.output, s.audioWarning)) s.audio.reset();
    }

    if ((result = avio_open(&s.output->pb, temporaryName.c_str(), AVIO_FLAG_WRITE)) < 0)
        return s.Fail("cannot write " + temporaryName + ": " + AvError(result));
    if ((result = avformat_write_header(s.output, nullptr)) < 0)
        return s.Fail("the MP4 header cannot be written: " + AvError(result));

    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.frame || !s.packet) return s.Fail("out of memory");
    s.frame->format = e.pix_fmt;
    s.frame->width = e.width;
    s.frame->height = e.height;
    s.frame->color_range = e.color_range;
    s.frame->colorspace = e.colorspace;
    s.frame->color_primaries = e.color_primaries;
    s.frame->color_trc = e.color_trc;
    if (av_frame_get_buffer(s.frame, 0) < 0) return s.Fail("out of memory");
    s.clock.emplace(settings.fps);
    s.open = true;
    return true;
}

bool VideoEncoder::IsOpen() const { return m_state->open; }

bool VideoEncoder::WriteFrame(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t rowPitch,
                              PixelOrder order) {
    State& s = *m_state;
    if (!s.open) return false;
    const bool ok = s.Encode(pixels, width, height, rowPitch, order);
    if (ok)
        ++s.written;
    else
        ++s.failed;
    s.clock->Advance();
    return ok;
}

bool VideoEncoder::Close() {
    State& s = *m_state;
    if (!s.open) return false;
    bool ok = true;
    int result = avcodec_send_frame(s.encoder, nullptr);
    if (result < 0 && result != AVERROR_EOF) {
        s.error = "the H.264 encoder cannot be drained: " + AvError(result);
        ok = false;
    }
    ok = s.WritePackets() && ok;
    if (s.audio && !s.audio->Finish(s.clock->AudioSamplesBefore(s.clock->SampleTime(), s.audio->SampleRate()))) {
        s.error = s.audio->Error();
        ok = false;
    }
    if ((result = av_write_trailer(s.output)) < 0) {
        s.error = "the MP4 file cannot be finalised: " + AvError(result);
        ok = false;
    }
    if (s.output->pb && (result = avio_closep(&s.output->pb)) < 0) {
        s.error = "the MP4 file cannot be closed: " + AvError(result);
        ok = false;
    }
    s.Release();
    if (ok) {
        std::error_code renameError;
        std::filesystem::rename(s.temporary, s.settings.output, renameError);
        if (renameError) {
            s.error = "cannot rename the finished video to " + s.settings.output.string() + ": " + renameError.message();
            ok = false;
        }
    }
    if (!ok) s.RemoveTemporary();
    return ok;
}

const std::string& VideoEncoder::Error() const { return m_state->error; }
const std::string& VideoEncoder::AudioWarning() const { return m_state->audioWarning; }
bool VideoEncoder::HasAudio() const { return m_state->audio != nullptr; }
uint32_t VideoEncoder::FramesWritten() const { return m_state->written; }
uint32_t VideoEncoder::FailedWrites() const { return m_state->failed; }
const SampleClock& VideoEncoder::Clock() const {
    static const SampleClock kNone(1);
    return m_state->clock ? *m_state->clock : kNone;
}
const std::filesystem::path& VideoEncoder::TemporaryPath() const { return m_state->temporary; }

}  // namespace ProjectTavrin
