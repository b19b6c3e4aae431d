#include "core/FileIO.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class FileIO : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tavrin-io-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    size_t FilesIn() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    fs::path dir;
};

TEST_F(FileIO, UnreadablePathsGiveAnEmptyList) {
    std::ofstream(dir / "empty");
    fs::create_directory(dir / "folder");
    for (const fs::path& path : {dir / "missing", dir / "empty", dir / "folder", fs::path()}) {
        EXPECT_TRUE(ReadWholeFile(path).empty()) << path;
    }
}

TEST_F(FileIO, WriteThenReadRoundTrips) {
    std::vector<uint8_t> bytes(70000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    ASSERT_TRUE(WriteWholeFileAtomic(dir / "data.bin", bytes));
    EXPECT_EQ(ReadWholeFile(dir / "data.bin"), bytes);

    // Replacing a longer file leaves exactly the new content and no temporary behind.
    const std::vector<uint8_t> shorter = {1, 2, 3};
    ASSERT_TRUE(WriteWholeFileAtomic(dir / "data.bin", shorter));
    EXPECT_EQ(ReadWholeFile(dir / "data.bin"), shorter);
    EXPECT_EQ(FilesIn(), 1u);
}

TEST_F(FileIO, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    EXPECT_FALSE(WriteWholeFileAtomic(dir / "no-such-folder" / "out.xml", std::vector<uint8_t>{1}));
    // A folder in the way of the rename: the write fails and the folder stays.
    fs::create_directories(dir / "taken" / "child");
    EXPECT_FALSE(WriteWholeFileAtomic(dir / "taken", std::vector<uint8_t>{1, 2}));
    EXPECT_TRUE(fs::is_directory(dir / "taken"));
    EXPECT_EQ(FilesIn(), 1u);
}

TEST_F(FileIO, ConcurrentWritersLeaveOneCompleteVersion) {
    const fs::path target = dir / "shared.bin";
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t, &target] {
            const std::vector<uint8_t> bytes(100000, static_cast<uint8_t>(t + 1));
            for (int i = 0; i < 10; ++i) EXPECT_TRUE(WriteWholeFileAtomic(target, bytes));
        });
    }
    for (std::thread& w : writers) w.join();
    const std::vector<uint8_t> result = ReadWholeFile(target);
    ASSERT_EQ(result.size(), 100000u);
    EXPECT_EQ(std::count(result.begin(), result.end(), result[0]), 100000);
    EXPECT_EQ(FilesIn(), 1u);
}

}  // namespace
