// The export's numbers: size and rate lists, bitrate, frame count and progress, typed sizes, and
// the sample clock's arithmetic.
#include <gtest/gtest.h>

#include "export/ExportSettings.h"
#include "export/SampleClock.h"

namespace {

using namespace ProjectTavrin;

TEST(ExportSettings, SizeAndRateListsMapTheirEntries) {
    EXPECT_EQ(ExportSizeForIndex(0), (FrameSize{1280, 720}));
    EXPECT_EQ(ExportSizeForIndex(4), (FrameSize{3440, 1440}));
    EXPECT_EQ(ExportSizeForIndex(6), (FrameSize{4096, 2160}));
    EXPECT_EQ(ExportSizeForIndex(-1), (FrameSize{1280, 720})) << "no selection";
    EXPECT_EQ(ExportSizeForIndex(7), (FrameSize{1280, 720}));
    EXPECT_EQ(ExportFpsForIndex(0), 30u);
    EXPECT_EQ(ExportFpsForIndex(1), 60u);
    EXPECT_EQ(ExportFpsForIndex(2), 120u);
    EXPECT_EQ(ExportFpsForIndex(-1), 30u);
    EXPECT_EQ(ExportFpsForIndex(3), 30u);
    for (const FrameSize size : kExportSizes) EXPECT_TRUE(IsEncodableSize(size));
}

TEST(ExportSettings, BitrateFramesAndProgress) {
    EXPECT_EQ(EncoderBitsPerSecond(8000), 8'192'000);
    EXPECT_EQ(EncoderBitsPerSecond(2'000'000), 2'048'000'000) << "no 32-bit overflow on the way";
    EXPECT_EQ(ExportFrameCount(60, 10), 600u);
    EXPECT_EQ(ExportFrameCount(30, 0), 0u);
    EXPECT_EQ(ExportFrameCount(30, -5), 0u);
    EXPECT_DOUBLE_EQ(ExportProgress(0, 600), 0.0);
    EXPECT_DOUBLE_EQ(ExportProgress(599, 600), 100.0);
    EXPECT_DOUBLE_EQ(ExportProgress(1, 3), 50.0);
    EXPECT_DOUBLE_EQ(ExportProgress(0, 1), 100.0) << "a one-frame export is done after its frame";
}

TEST(ExportSettings, TypedSizesMustBeEvenAndInRange) {
    EXPECT_EQ(ParseFrameSize("1920x1080"), (FrameSize{1920, 1080}));
    EXPECT_EQ(ParseFrameSize("256X144"), (FrameSize{256, 144}));
    for (const char* bad : {"", "x", "1920", "1920x", "x1080", "1921x1080", "1920x1081", "0x0", "-2x4", "10000x100",
                            "64x48x2", " 64x48", "64x48 ", "0x2"})
        EXPECT_FALSE(ParseFrameSize(bad)) << bad;
}

TEST(SampleClock, FramesCountInTheRatesOwnTimeBase) {
    SampleClock clock(60);
    EXPECT_EQ(clock.Fps(), 60u);
    EXPECT_EQ(clock.SampleDuration(), 1);
    std::vector<int64_t> times;
    for (int i = 0; i < 3; ++i) {
        times.push_back(clock.SampleTime());
        clock.Advance();
    }
    EXPECT_EQ(times, (std::vector<int64_t>{0, 1, 2}));
    EXPECT_EQ(clock.Samples(), 3u);
    EXPECT_THROW(SampleClock(0), std::invalid_argument);
}

TEST(SampleClock, AudioCutsAreExactAtEveryRateAndRoundDown) {
    // A second of frames is exactly a second of sound at any rate, 24 and 30 included.
    for (uint32_t fps : {24u, 25u, 30u, 60u, 120u}) {
        const SampleClock clock(fps);
        EXPECT_EQ(clock.AudioSamplesBefore(fps, 48000), 48000) << fps;
        EXPECT_EQ(clock.AudioSamplesBefore(fps * 90, 44100), 90 * 44100) << fps;
    }
    // 1/30 s of 44.1 kHz is 1470 samples; 1/24 s of 44.1 kHz is 1837.5: the half is cut.
    EXPECT_EQ(SampleClock(30).AudioSamplesBefore(1, 44100), 1470);
    EXPECT_EQ(SampleClock(24).AudioSamplesBefore(1, 44100), 1837);
    EXPECT_EQ(SampleClock(24).AudioSamplesBefore(0, 48000), 0);
    EXPECT_EQ(SampleClock(24).AudioSamplesBefore(-5, 48000), 0);
    // A year of frames at 240 fps and 96 kHz: the plain product would overflow.
    const int64_t year = 365LL * 24 * 3600;
    EXPECT_EQ(SampleClock(240).AudioSamplesBefore(year * 240, 96000), year * 96000);
}

}  // namespace
