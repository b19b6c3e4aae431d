// The texture decode queue without a device: each file decoded once however often and from
// however many threads it is asked for, the loading thread decoding what no worker has started,
// missing and broken files reported as such, and a file handed over once.
#include "Engine/TextureLoader/TextureDecodeQueue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/support/TextureFileWriters.h"

namespace {

using Engine::DecodedTextureFile;
using Engine::TextureDecodeQueue;

class TextureDecodeQueueTest : public ::testing::Test {
protected:
    TextureDecodeQueueTest() {
        static int serial = 0;
        dir = std::filesystem::temp_directory_path() /
              ("tavrin-decodequeue-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(dir / "sub");
    }
    ~TextureDecodeQueueTest() override { std::filesystem::remove_all(dir); }

    std::filesystem::path WritePng(const std::string& name, int side, uint8_t alpha) const {
        std::vector<uint8_t> rgba(static_cast<size_t>(side) * side * 4, 90);
        for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = alpha;
        const std::vector<uint8_t> png = TestSupport::EncodePng(side, side, rgba);
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
        return dir / name;
    }

    std::filesystem::path dir;
};

TEST_F(TextureDecodeQueueTest, EachFileIsDecodedOnceHoweverOftenItIsNamed) {
    const std::filesystem::path file = WritePng("shared.png", 8, 255);
    TextureDecodeQueue queue(16384, 2);
    // The same file under three spellings, asked for many times.
    for (int i = 0; i < 10; ++i) {
        queue.Request(file);
        queue.Request(dir / "." / "shared.png");
        queue.Request(dir / "sub" / ".." / "shared.png");
    }
    const std::shared_ptr<const DecodedTextureFile> taken = queue.Take(dir / "sub" / ".." / "shared.png");
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->status, DecodedTextureFile::Status::Ok);
    EXPECT_EQ(taken->decoded.desc.width, 8u);
    EXPECT_EQ(taken->alpha, Engine::AlphaContent::Opaque);
    EXPECT_EQ(queue.FilesDecoded(), 1u);
}

TEST_F(TextureDecodeQueueTest, ManyFilesFromManyThreadsEachDecodeOnce) {
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < 12; ++i) files.push_back(WritePng("t" + std::to_string(i) + ".png", 64, i % 2 ? 255 : 0));
    TextureDecodeQueue queue(16384, 3);
    for (const auto& file : files) queue.Request(file);
    // Two loading threads take every file while the workers are still at them.
    std::vector<std::shared_ptr<const DecodedTextureFile>> taken(files.size());
    std::thread other([&] {
        for (size_t i = 0; i < files.size(); i += 2) taken[i] = queue.Take(files[i]);
    });
    for (size_t i = 1; i < files.size(); i += 2) taken[i] = queue.Take(files[i]);
    other.join();
    for (size_t i = 0; i < files.size(); ++i) {
        ASSERT_TRUE(taken[i]) << i;
        EXPECT_EQ(taken[i]->status, DecodedTextureFile::Status::Ok) << i;
        EXPECT_EQ(taken[i]->path, files[i]);
        EXPECT_EQ(taken[i]->alpha, i % 2 ? Engine::AlphaContent::Opaque : Engine::AlphaContent::CutOut) << i;
    }
    EXPECT_EQ(queue.FilesDecoded(), files.size());
    EXPECT_GT(queue.DecodeMilliseconds(), 0.0);
}

TEST_F(TextureDecodeQueueTest, MissingBrokenAndUnrequestedFiles) {
    std::ofstream(dir / "broken.png") << "not an image";
    const std::filesystem::path good = WritePng("good.png", 4, 255);
    // No workers have it: the taking thread decodes a file nobody asked for.
    TextureDecodeQueue queue(16384, 1);
    EXPECT_EQ(queue.Take(dir / "missing.png")->status, DecodedTextureFile::Status::Missing);
    EXPECT_EQ(queue.Take(dir / "broken.png")->status, DecodedTextureFile::Status::Undecodable);
    EXPECT_EQ(queue.Take(good)->status, DecodedTextureFile::Status::Ok);
    // Handed over, not kept: a second take reads the file again.
    EXPECT_EQ(queue.Take(good)->status, DecodedTextureFile::Status::Ok);
    EXPECT_EQ(queue.FilesDecoded(), 4u);
}

TEST_F(TextureDecodeQueueTest, ImagesAreFittedToTheSizeLimit) {
    const std::filesystem::path file = WritePng("large.png", 64, 255);
    TextureDecodeQueue queue(16, 1);
    const auto taken = queue.Take(file);
    EXPECT_EQ(taken->decoded.desc.width, 16u);
    EXPECT_EQ(taken->decoded.desc.height, 16u);
}

}  // namespace
