// The encoder seen through ffprobe and ffmpeg: stream facts and timing at each rate, upright and
// unsheared frames from padded read-back rows, the audio track and its cut, the temporary file
// and its rename, and the faults (no open, failed frames, empty videos).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "export/ExportSettings.h"
#include "export/VideoEncoder.h"
#include "tests/export/ExportTestDir.h"
#include "tests/export/MediaProbe.h"

namespace {

using ProjectTavrin::PixelOrder;
using ProjectTavrin::VideoEncoder;
using ProjectTavrin::VideoEncoderSettings;

double RateOf(const std::string& ratio) {
    const size_t slash = ratio.find('/');
    return std::stod(ratio.substr(0, slash)) / std::stod(ratio.substr(slash + 1));
}

struct Rgb {
    uint8_t r, g, b;
};

/// Four coloured quadrants (red, green / blue, white), the row padding filled with magenta so a
/// reader that ignores the pitch shows it.
class QuadrantImage {
public:
    QuadrantImage(uint32_t width, uint32_t height, uint32_t rowPitch)
        : width(width), height(height), rowPitch(rowPitch), bytes(static_cast<size_t>(rowPitch) * height) {
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = bytes.data() + static_cast<size_t>(y) * rowPitch;
            for (uint32_t x = 0; x < rowPitch / 4; ++x) {
                const Rgb c = x >= width ? Rgb{255, 0, 255} : Expected(x, y);
                row[x * 4 + 0] = c.r;
                row[x * 4 + 1] = c.g;
                row[x * 4 + 2] = c.b;
                row[x * 4 + 3] = 255;
            }
        }
    }
    Rgb Expected(uint32_t x, uint32_t y) const {
        const bool right = x >= width / 2, bottom = y >= height / 2;
        if (!bottom) return right ? Rgb{20, 200, 40} : Rgb{200, 30, 30};
        return right ? Rgb{235, 235, 235} : Rgb{30, 40, 210};
    }
    void SwapRedBlue() {
        for (size_t i = 0; i + 3 < bytes.size(); i += 4) std::swap(bytes[i], bytes[i + 2]);
    }

    uint32_t width, height, rowPitch;
    std::vector<uint8_t> bytes;
};

class VideoEncoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
    }
    VideoEncoderSettings Settings(uint32_t width, uint32_t height, uint32_t fps) const {
        VideoEncoderSettings settings;
        settings.output = dir / "out.mp4";
        settings.width = width;
        settings.height = height;
        settings.fps = fps;
        settings.bitrate = 2000;
        settings.preset = "ultrafast";
        return settings;
    }
    /// Writes `frames` copies of a quadrant image and closes the file.
    void WriteVideo(const VideoEncoderSettings& settings, uint32_t frames) {
        const QuadrantImage image(settings.width, settings.height, (settings.width * 4 + 255) / 256 * 256);
        VideoEncoder encoder;
        ASSERT_TRUE(encoder.Open(settings)) << encoder.Error();
        for (uint32_t i = 0; i < frames; ++i)
            ASSERT_TRUE(encoder.WriteFrame(image.bytes.data(), image.width, image.height, image.rowPitch));
        ASSERT_TRUE(encoder.Close()) << encoder.Error();
    }
    /// Checks the middle of each quadrant of a decoded RGBA frame.
    static void ExpectQuadrants(const std::vector<uint8_t>& frame, const QuadrantImage& image, int tolerance) {
        for (uint32_t qy = 0; qy < 2; ++qy)
            for (uint32_t qx = 0; qx < 2; ++qx) {
                const uint32_t x = image.width / 4 + qx * image.width / 2, y = image.height / 4 + qy * image.height / 2;
                const Rgb want = image.Expected(x, y);
                const uint8_t* got = frame.data() + (static_cast<size_t>(y) * image.width + x) * 4;
                EXPECT_NEAR(got[0], want.r, tolerance) << "quadrant " << qx << "," << qy;
                EXPECT_NEAR(got[1], want.g, tolerance) << "quadrant " << qx << "," << qy;
                EXPECT_NEAR(got[2], want.b, tolerance) << "quadrant " << qx << "," << qy;
            }
        // The last row's left end: a sheared read drifts padding (magenta) or the wrong quadrant here.
        const uint8_t* last = frame.data() + (static_cast<size_t>(image.height) - 4) * image.width * 4 + 16;
        EXPECT_NEAR(last[1], 40, tolerance) << "bottom-left corner";
        EXPECT_NEAR(last[2], 210, tolerance) << "bottom-left corner";
    }

    ExportTest::TestDir dir;
};

TEST_F(VideoEncoderTest, EveryListedSizeIsUprightAndUnshearedFromPaddedRows) {
    for (const ProjectTavrin::FrameSize size : ProjectTavrin::kExportSizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        // Read-back rows are padded to a multiple of 256 bytes: 3440 pixels make 13,760-byte
        // rows, 13,824 bytes apart.
        const uint32_t pitch = (size.width * 4 + 255) / 256 * 256;
        if (size.width == 3440) {
            EXPECT_EQ(pitch, 13824u);
        }
        const QuadrantImage image(size.width, size.height, pitch);
        VideoEncoder encoder;
        ASSERT_TRUE(encoder.Open(Settings(size.width, size.height, 30))) << encoder.Error();
        ASSERT_TRUE(encoder.WriteFrame(image.bytes.data(), image.width, image.height, image.rowPitch));
        ASSERT_TRUE(encoder.Close()) << encoder.Error();

        const auto streams = ExportTest::ProbeStreams(dir / "out.mp4");
        ASSERT_EQ(streams.size(), 1u);
        EXPECT_EQ(streams[0].at("width"), std::to_string(size.width));
        EXPECT_EQ(streams[0].at("height"), std::to_string(size.height));
        const auto frames = ExportTest::DecodeFrames(dir / "out.mp4", size.width, size.height, 1);
        ASSERT_EQ(frames.size(), 1u);
        ExpectQuadrants(frames[0], image, 12);
    }
}

TEST_F(VideoEncoderTest, SmallOddPitchAndBgraOrderKeepTheColours) {
    QuadrantImage image(250, 142, 1280);
    image.SwapRedBlue();
    VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(Settings(250, 142, 30))) << encoder.Error();
    ASSERT_TRUE(encoder.WriteFrame(image.bytes.data(), image.width, image.height, image.rowPitch, PixelOrder::Bgra));
    ASSERT_TRUE(encoder.Close()) << encoder.Error();
    image.SwapRedBlue();
    const auto frames = ExportTest::DecodeFrames(dir / "out.mp4", 250, 142, 1);
    ASSERT_EQ(frames.size(), 1u);
    ExpectQuadrants(frames[0], image, 12);
}

TEST_F(VideoEncoderTest, StreamIsTaggedLimitedRangeBt709H264) {
    WriteVideo(Settings(64, 48, 30), 3);
    const auto streams = ExportTest::ProbeStreams(dir / "out.mp4");
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].at("codec_name"), "h264");
    EXPECT_EQ(streams[0].at("pix_fmt"), "yuv420p");
    EXPECT_EQ(streams[0].at("color_range"), "tv");
    EXPECT_EQ(streams[0].at("color_space"), "bt709");
    EXPECT_EQ(streams[0].at("color_primaries"), "bt709");
}

TEST_F(VideoEncoderTest, RatesReadBackExactlyWithEveryFrameAndTheSoundInStep) {
    ExportTest::WriteSineWav(dir / "tone.wav", 3.0, 44100, 2);
    for (const uint32_t fps : {24u, 30u, 60u}) {
        SCOPED_TRACE(fps);
        VideoEncoderSettings settings = Settings(64, 48, fps);
        settings.audio = dir / "tone.wav";
        const uint32_t frames = fps * 2;  // two seconds
        WriteVideo(settings, frames);
        const auto streams = ExportTest::ProbeStreams(dir / "out.mp4");
        ASSERT_EQ(streams.size(), 2u);
        const auto& audio = streams[0].at("codec_type") == "audio" ? streams[0] : streams[1];
        const auto& video = streams[0].at("codec_type") == "video" ? streams[0] : streams[1];
        const std::string rate = std::to_string(fps) + "/1";
        EXPECT_EQ(video.at("r_frame_rate"), rate);
        EXPECT_EQ(video.at("avg_frame_rate"), rate);
        EXPECT_EQ(ExportTest::ToInt(video, "nb_frames"), frames);
        EXPECT_NEAR(ExportTest::ToDouble(video, "duration"), 2.0, 1e-9);
        // Every frame lasts the same whole number of ticks of the track's time base.
        const auto times = ExportTest::VideoPacketTimes(dir / "out.mp4");
        ASSERT_EQ(times.size(), frames);
        EXPECT_EQ(times[0], 0);
        const int64_t step = times[1] - times[0];
        for (uint32_t i = 0; i < frames; ++i) ASSERT_EQ(times[i], step * i) << "frame " << i;
        EXPECT_EQ(RateOf(video.at("time_base")) * double(step) * fps, 1.0);
        // The sound starts with the first frame and ends with the last (within one AAC frame).
        EXPECT_NEAR(ExportTest::ToDouble(audio, "start_time"), 0.0, 1e-6);
        EXPECT_NEAR(ExportTest::ToDouble(audio, "duration"), 2.0, 1024.0 / 44100.0);
    }
}

TEST_F(VideoEncoderTest, AudioIsAacFromZeroAndCutToTheVideo) {
    ExportTest::WriteSineWav(dir / "tone.wav", 3.0, 44100, 2);
    VideoEncoderSettings settings = Settings(64, 48, 30);
    settings.audio = dir / "tone.wav";
    WriteVideo(settings, 45);  // 1.5 s of video against 3 s of sound

    const auto streams = ExportTest::ProbeStreams(dir / "out.mp4");
    ASSERT_EQ(streams.size(), 2u);
    const auto& audio = streams[0].at("codec_type") == "audio" ? streams[0] : streams[1];
    const auto& video = streams[0].at("codec_type") == "video" ? streams[0] : streams[1];
    EXPECT_EQ(audio.at("codec_name"), "aac");
    EXPECT_EQ(audio.at("sample_rate"), "44100");
    EXPECT_EQ(audio.at("channels"), "2");
    EXPECT_NEAR(ExportTest::ToDouble(audio, "start_time"), 0.0, 1e-6);
    const double videoSeconds = 1.5;
    EXPECT_NEAR(ExportTest::ToDouble(video, "duration"), videoSeconds, 1e-6);
    // The last AAC frame may be a partial one; the cut is within one frame of 1024 samples.
    EXPECT_NEAR(ExportTest::ToDouble(audio, "duration"), videoSeconds, 1024.0 / 44100.0);
}

TEST_F(VideoEncoderTest, ShortAudioEndsWhereItEndsAndMonoStaysMono) {
    ExportTest::WriteSineWav(dir / "short.wav", 0.5, 22050, 1);
    VideoEncoderSettings settings = Settings(64, 48, 30);
    settings.audio = dir / "short.wav";
    WriteVideo(settings, 30);
    const auto streams = ExportTest::ProbeStreams(dir / "out.mp4");
    ASSERT_EQ(streams.size(), 2u);
    const auto& audio = streams[0].at("codec_type") == "audio" ? streams[0] : streams[1];
    EXPECT_EQ(audio.at("channels"), "1");
    EXPECT_NEAR(ExportTest::ToDouble(audio, "duration"), 0.5, 1024.0 / 22050.0);
}

TEST_F(VideoEncoderTest, UnreadableAudioLeavesAVideoWithoutSound) {
    std::ofstream(dir / "noise.wav") << "not a sound file";
    VideoEncoderSettings settings = Settings(64, 48, 30);
    settings.audio = dir / "noise.wav";
    VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(settings)) << encoder.Error();
    EXPECT_FALSE(encoder.HasAudio());
    EXPECT_NE(encoder.AudioWarning().find("noise.wav"), std::string::npos) << encoder.AudioWarning();
    const QuadrantImage image(64, 48, 256);
    ASSERT_TRUE(encoder.WriteFrame(image.bytes.data(), 64, 48, 256));
    ASSERT_TRUE(encoder.Close());
    EXPECT_EQ(ExportTest::ProbeStreams(dir / "out.mp4").size(), 1u);
}

TEST_F(VideoEncoderTest, EncoderThatCannotOpenLeavesNothingOnDisk) {
    VideoEncoderSettings odd = Settings(63, 48, 30);
    VideoEncoderSettings noFolder = Settings(64, 48, 30);
    noFolder.output = dir / "missing" / "out.mp4";
    VideoEncoderSettings noBitrate = Settings(64, 48, 30);
    noBitrate.bitrate = 0;
    VideoEncoderSettings noRate = Settings(64, 48, 0);
    for (const VideoEncoderSettings& settings : {odd, noFolder, noBitrate, noRate}) {
        VideoEncoder encoder;
        EXPECT_FALSE(encoder.Open(settings));
        EXPECT_FALSE(encoder.Error().empty());
        EXPECT_FALSE(encoder.IsOpen());
        const std::vector<uint8_t> pixels(64 * 48 * 4);
        EXPECT_FALSE(encoder.WriteFrame(pixels.data(), 64, 48, 256));
        EXPECT_EQ(encoder.FramesWritten(), 0u);
        EXPECT_FALSE(encoder.Close());
        EXPECT_TRUE(dir.Entries().empty());
    }
}

TEST_F(VideoEncoderTest, FailedFramesAreCountedAndTheTimelineMovesOn) {
    const QuadrantImage image(64, 48, 256);
    VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(Settings(64, 48, 30))) << encoder.Error();
    EXPECT_TRUE(encoder.WriteFrame(image.bytes.data(), 64, 48, 256));
    EXPECT_FALSE(encoder.WriteFrame(nullptr, 64, 48, 256));
    EXPECT_FALSE(encoder.WriteFrame(image.bytes.data(), 64, 48, 200));  // rows shorter than the frame
    EXPECT_TRUE(encoder.WriteFrame(image.bytes.data(), 64, 48, 256));
    EXPECT_EQ(encoder.FramesWritten(), 2u);
    EXPECT_EQ(encoder.FailedWrites(), 2u);
    EXPECT_EQ(encoder.Clock().SampleTime(), 4);
    ASSERT_TRUE(encoder.Close()) << encoder.Error();
    const auto times = ExportTest::VideoPacketTimes(dir / "out.mp4");
    ASSERT_EQ(times.size(), 2u);
    // Two frames were lost between them: three frame lengths of the track's 1/30 s.
    const auto streams = ExportTest::ProbeStreams(dir / "out.mp4");
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_NEAR(double(times[1] - times[0]) * RateOf(streams[0].at("time_base")), 3.0 / 30.0, 1e-9);
}

TEST_F(VideoEncoderTest, FramesOfAnotherSizeAreScaledToTheVideo) {
    const QuadrantImage image(128, 96, 512);
    VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(Settings(64, 48, 30))) << encoder.Error();
    ASSERT_TRUE(encoder.WriteFrame(image.bytes.data(), 128, 96, 512));
    ASSERT_TRUE(encoder.Close()) << encoder.Error();
    const auto frames = ExportTest::DecodeFrames(dir / "out.mp4", 64, 48, 1);
    ASSERT_EQ(frames.size(), 1u);
    ExpectQuadrants(frames[0], QuadrantImage(64, 48, 256), 16);
}

TEST_F(VideoEncoderTest, ExistingFileIsReplacedOnlyByAFinishedVideo) {
    const auto target = dir / "out.mp4";
    std::ofstream(target) << "previous";
    const QuadrantImage image(64, 48, 256);
    {
        VideoEncoder encoder;
        ASSERT_TRUE(encoder.Open(Settings(64, 48, 30))) << encoder.Error();
        ASSERT_TRUE(encoder.WriteFrame(image.bytes.data(), 64, 48, 256));
        EXPECT_TRUE(std::filesystem::exists(encoder.TemporaryPath()));
        EXPECT_EQ(encoder.TemporaryPath().parent_path(), dir.path);
        // Abandoned without Close: the old file stays and the temporary one goes.
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.mp4"});
    std::ifstream previous(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(previous), {}), "previous");

    VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(Settings(64, 48, 30))) << encoder.Error();
    ASSERT_TRUE(encoder.WriteFrame(image.bytes.data(), 64, 48, 256));
    ASSERT_TRUE(encoder.Close()) << encoder.Error();
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.mp4"});
    EXPECT_EQ(ExportTest::ToInt(ExportTest::ProbeStreams(target).at(0), "nb_frames"), 1);
}

TEST_F(VideoEncoderTest, NoFramesGiveAValidEmptyFile) {
    ExportTest::WriteSineWav(dir / "tone.wav", 1.0, 48000, 2);
    VideoEncoderSettings settings = Settings(64, 48, 30);
    settings.audio = dir / "tone.wav";
    VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(settings)) << encoder.Error();
    ASSERT_TRUE(encoder.Close()) << encoder.Error();
    // The MP4 writer leaves out tracks without samples: a playable file with nothing in it.
    EXPECT_TRUE(ExportTest::ProbeOpens(dir / "out.mp4"));
    EXPECT_TRUE(ExportTest::ProbeStreams(dir / "out.mp4").empty());
    EXPECT_TRUE(ExportTest::VideoPacketTimes(dir / "out.mp4").empty());
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out.mp4", "tone.wav"}));
}

}  // namespace
