// The frame queue between render and encode threads, and the pipeline over it: overlapped and
// serial encoding must give the same video.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "export/EncodePipeline.h"
#include "export/FrameQueue.h"
#include "tests/export/ExportTestDir.h"
#include "tests/export/MediaProbe.h"

namespace {

using ProjectTavrin::EncodePipeline;
using ProjectTavrin::FrameQueue;
using ProjectTavrin::OfflineFrame;
using ProjectTavrin::QueuedFrame;

std::unique_ptr<QueuedFrame> Tagged(FrameQueue& queue, uint32_t tag) {
    auto frame = queue.Acquire();
    frame->width = tag;
    return frame;
}

TEST(FrameQueue, HandsFramesOutInOrderAndDrainsAfterClose) {
    FrameQueue queue(4);
    for (uint32_t i = 0; i < 3; ++i) ASSERT_TRUE(queue.Push(Tagged(queue, i)));
    queue.Close();
    EXPECT_FALSE(queue.Push(Tagged(queue, 9))) << "a closed queue takes no more frames";
    for (uint32_t i = 0; i < 3; ++i) {
        auto frame = queue.Pop();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->width, i);
    }
    EXPECT_EQ(queue.Pop(), nullptr);
    EXPECT_EQ(queue.HighWater(), 3u);
}

TEST(FrameQueue, PushWaitsWhileFullAndBuffersAreReused) {
    FrameQueue queue(2);
    ASSERT_TRUE(queue.Push(Tagged(queue, 0)));
    ASSERT_TRUE(queue.Push(Tagged(queue, 1)));
    std::atomic<bool> pushed{false};
    std::thread producer([&] {
        queue.Push(Tagged(queue, 2));
        pushed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(pushed.load()) << "the third frame must wait for room";
    auto first = queue.Pop();
    producer.join();
    EXPECT_TRUE(pushed.load());
    EXPECT_EQ(queue.HighWater(), 2u);

    QueuedFrame* buffer = first.get();
    queue.Recycle(std::move(first));
    EXPECT_EQ(queue.Acquire().get(), buffer) << "an encoded frame's buffer comes back";
}

TEST(FrameQueue, CloseWakesAWaitingConsumer) {
    FrameQueue queue(1);
    std::thread consumer([&] { EXPECT_EQ(queue.Pop(), nullptr); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.Close();
    consumer.join();
}

class EncodePipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
    }

    /// Encodes 24 frames whose content changes every frame, reusing one pixel buffer as the
    /// read-back does; returns the file's bytes.
    std::string Encode(const std::string& name, bool overlap) {
        ProjectTavrin::VideoEncoderSettings settings;
        settings.output = dir / name;
        settings.width = 96;
        settings.height = 64;
        settings.fps = 30;
        settings.bitrate = 1000;
        settings.preset = "ultrafast";
        ProjectTavrin::VideoEncoder encoder;
        EXPECT_TRUE(encoder.Open(settings)) << encoder.Error();
        const uint32_t pitch = 512;
        std::vector<uint8_t> pixels(pitch * 64);
        {
            EncodePipeline pipeline(encoder, overlap, 2);
            for (uint32_t i = 0; i < 24; ++i) {
                for (uint32_t y = 0; y < 64; ++y)
                    for (uint32_t x = 0; x < 96; ++x) {
                        uint8_t* p = pixels.data() + y * pitch + x * 4;
                        p[0] = static_cast<uint8_t>(x * 2 + i * 9);
                        p[1] = static_cast<uint8_t>(y * 3 + i * 5);
                        p[2] = static_cast<uint8_t>((x + y) * i);
                        p[3] = 255;
                    }
                OfflineFrame frame;
                frame.pixels = pixels.data();
                frame.width = 96;
                frame.height = 64;
                frame.rowPitch = pitch;
                pipeline.Submit(frame);
            }
            pipeline.Finish();
            if (overlap) {
                EXPECT_GE(pipeline.QueueHighWater(), 1u);
            }
        }
        EXPECT_EQ(encoder.FramesWritten(), 24u);
        EXPECT_TRUE(encoder.Close()) << encoder.Error();
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ExportTest::TestDir dir;
};

TEST_F(EncodePipelineTest, OverlappedAndSerialEncodingGiveTheSameVideo) {
    const std::string serial = Encode("serial.mp4", false);
    const std::string overlapped = Encode("overlapped.mp4", true);
    ASSERT_FALSE(serial.empty());
    EXPECT_TRUE(serial == overlapped) << "the files differ";
    const auto a = ExportTest::DecodeFrames(dir / "serial.mp4", 96, 64, 24);
    const auto b = ExportTest::DecodeFrames(dir / "overlapped.mp4", 96, 64, 24);
    ASSERT_EQ(a.size(), 24u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a.front(), a.back()) << "the frames are not all alike";
}

TEST_F(EncodePipelineTest, FramesWithoutPixelsAreCountedAsFailures) {
    ProjectTavrin::VideoEncoderSettings settings;
    settings.output = dir / "out.mp4";
    settings.width = 64;
    settings.height = 48;
    settings.preset = "ultrafast";
    ProjectTavrin::VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(settings)) << encoder.Error();
    {
        EncodePipeline pipeline(encoder, true);
        pipeline.Submit(OfflineFrame{});
        pipeline.Submit(OfflineFrame{});
    }
    EXPECT_EQ(encoder.FailedWrites(), 2u);
    EXPECT_EQ(encoder.FramesWritten(), 0u);
    EXPECT_TRUE(encoder.Close());
}

}  // namespace
