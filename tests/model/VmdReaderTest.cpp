#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "core/MessageLog.h"
#include "model/io/VmdReader.h"
#include "tests/support/VmdWriter.h"

using namespace Vesma;
using TestSupport::VmdContent;
using TestSupport::VmdImage;
using TestSupport::VmdSection;

namespace {

class VmdReaderTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }
    static std::u16string Log() { return MessageLog::Instance().Peek(); }
};

// A motion that uses every section, with values that differ per field so misplaced bytes show.
VmdContent FullContent() {
    VmdContent c = VmdContent::WithSignature("TestModel");
    c.boneKeys.push_back(TestSupport::MakeBoneKey("center", 0, {1, 2, 3}, {0.1f, 0.2f, 0.3f, 0.9f}));
    auto longName = TestSupport::MakeBoneKey("ABCDEFGHIJKLMNO", 42, {-4, 5, -6}, {0, 0, 0, 1});
    for (int i = 0; i < 64; ++i) {
        longName.interpolation[i] = static_cast<uint8_t>(i * 2 + 1);
    }
    c.boneKeys.push_back(longName);
    c.morphKeys.push_back(TestSupport::MakeMorphKey("smile", 7, 0.75f));
    c.cameraKeys.push_back(TestSupport::MakeCameraKey(3, -45.0f, {0, 10, 0}, {0.3f, 0, 0}, 27));
    c.cameraKeys.back().perspective = 1;
    c.lightKeys.push_back({9, {0.6f, 0.5f, 0.4f}, {-0.5f, -1.0f, 0.5f}});
    c.shadowKeys.push_back({11, 2, 0.0875f});
    VMDIKKey ik;
    ik.frame = 13;
    ik.show = 1;
    ik.ikInfos.push_back(TestSupport::MakeIKInfo("leftFootIK", true));
    ik.ikInfos.push_back(TestSupport::MakeIKInfo("ABCDEFGHIJKLMNOPQRST", false));
    c.ikKeys.push_back(ik);
    return c;
}

const char16_t* const kSectionMessage[] = {u"ReadMotion Fail.\r\n", u"ReadBlednShape Fail.\r\n",
                                            u"ReadCamera Fail.\r\n", u"ReadLight Fail.\r\n",
                                            u"ReadShadow Fail.\r\n", u"ReadIK Fail.\r\n"};

}  // namespace

TEST_F(VmdReaderTest, ReadsEverySectionAsStored) {
    const VmdImage image = WriteVmd(FullContent());
    VMDFile vmd;
    ASSERT_TRUE(ReadVMDFile(vmd, image.bytes));
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(vmd.buffer.empty());
    EXPECT_EQ(0, std::memcmp(vmd.header.data(), "Vocaloid Motion Data 0002\0\0\0\0", 30));
    EXPECT_EQ(0, std::memcmp(vmd.modelName.data(), "TestModel\0\0\0\0\0\0\0\0\0\0", 20));

    ASSERT_EQ(2u, vmd.boneKeys.size());
    EXPECT_STREQ("center", reinterpret_cast<const char*>(vmd.boneKeys[0].boneName.data()));
    EXPECT_EQ(0u, vmd.boneKeys[0].frame);
    EXPECT_EQ(Math::vec3(1, 2, 3), vmd.boneKeys[0].translation);
    EXPECT_EQ(Math::quat(0.1f, 0.2f, 0.3f, 0.9f), vmd.boneKeys[0].rotation);
    // A name that fills all 15 bytes is still terminated by the record's 16th byte.
    EXPECT_STREQ("ABCDEFGHIJKLMNO", reinterpret_cast<const char*>(vmd.boneKeys[1].boneName.data()));
    EXPECT_EQ(42u, vmd.boneKeys[1].frame);
    EXPECT_EQ(Math::vec3(-4, 5, -6), vmd.boneKeys[1].translation);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(i * 2 + 1, vmd.boneKeys[1].interpolation[i]) << i;
    }

    ASSERT_EQ(1u, vmd.morphKeys.size());
    EXPECT_STREQ("smile", reinterpret_cast<const char*>(vmd.morphKeys[0].morphName.data()));
    EXPECT_EQ(7u, vmd.morphKeys[0].frame);
    EXPECT_EQ(0.75f, vmd.morphKeys[0].weight);

    ASSERT_EQ(1u, vmd.cameraKeys.size());
    const VMDCameraKey& cam = vmd.cameraKeys[0];
    EXPECT_EQ(3u, cam.frame);
    EXPECT_EQ(-45.0f, cam.distance);
    EXPECT_EQ(Math::vec3(0, 10, 0), cam.interest);
    EXPECT_EQ(Math::vec3(0.3f, 0, 0), cam.rotation);
    EXPECT_EQ(27u, cam.viewAngle);
    EXPECT_EQ(1, cam.perspective);
    EXPECT_EQ(20, cam.interpolation[0]);
    EXPECT_EQ(107, cam.interpolation[23]);

    ASSERT_EQ(1u, vmd.lightKeys.size());
    EXPECT_EQ(9u, vmd.lightKeys[0].frame);
    EXPECT_EQ(Math::vec3(0.6f, 0.5f, 0.4f), vmd.lightKeys[0].color);
    EXPECT_EQ(Math::vec3(-0.5f, -1.0f, 0.5f), vmd.lightKeys[0].position);

    ASSERT_EQ(1u, vmd.shadowKeys.size());
    EXPECT_EQ(11u, vmd.shadowKeys[0].frame);
    EXPECT_EQ(2, vmd.shadowKeys[0].mode);
    EXPECT_EQ(0.0875f, vmd.shadowKeys[0].distance);

    ASSERT_EQ(1u, vmd.ikKeys.size());
    EXPECT_EQ(13u, vmd.ikKeys[0].frame);
    EXPECT_EQ(1, vmd.ikKeys[0].show);
    ASSERT_EQ(2u, vmd.ikKeys[0].ikInfos.size());
    EXPECT_STREQ("leftFootIK", reinterpret_cast<const char*>(vmd.ikKeys[0].ikInfos[0].name.data()));
    EXPECT_EQ(1, vmd.ikKeys[0].ikInfos[0].enable);
    EXPECT_STREQ("ABCDEFGHIJKLMNOPQRST", reinterpret_cast<const char*>(vmd.ikKeys[0].ikInfos[1].name.data()));
    EXPECT_EQ(0, vmd.ikKeys[0].ikInfos[1].enable);
}

TEST_F(VmdReaderTest, HeaderIsNotChecked) {
    VmdContent c = FullContent();
    c.header.fill(0xEE);
    VMDFile vmd;
    ASSERT_TRUE(ReadVMDFile(vmd, WriteVmd(c).bytes));
    EXPECT_EQ(0xEE, vmd.header[29]);
    EXPECT_EQ(2u, vmd.boneKeys.size());
}

// Files that end after any section are complete: the later sections are simply empty.
TEST_F(VmdReaderTest, OptionalSectionsMayBeMissing) {
    for (int last = 0; last < 6; ++last) {
        VmdContent c = FullContent();
        c.lastSection = static_cast<VmdSection>(last);
        VMDFile vmd;
        ASSERT_TRUE(ReadVMDFile(vmd, WriteVmd(c).bytes)) << last;
        EXPECT_TRUE(Log().empty()) << last;
        EXPECT_EQ(2u, vmd.boneKeys.size());
        EXPECT_EQ(last >= 1 ? 1u : 0u, vmd.morphKeys.size()) << last;
        EXPECT_EQ(last >= 2 ? 1u : 0u, vmd.cameraKeys.size()) << last;
        EXPECT_EQ(last >= 3 ? 1u : 0u, vmd.lightKeys.size()) << last;
        EXPECT_EQ(last >= 4 ? 1u : 0u, vmd.shadowKeys.size()) << last;
        EXPECT_EQ(last >= 5 ? 1u : 0u, vmd.ikKeys.size()) << last;
    }
}

// Very short files: the header (30 bytes) and the model name (20 bytes) are each taken only when
// all their bytes remain, so the bone count comes from wherever the position stands.
TEST_F(VmdReaderTest, ShortFiles) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool ok;
        const char16_t* message;  // nullptr: none
    };
    auto zeros = [](size_t n) { return std::vector<uint8_t>(n, 0); };
    auto withCountAt = [](size_t n, size_t at, uint32_t count) {
        std::vector<uint8_t> b(n, 0);
        std::memcpy(b.data() + at, &count, 4);
        return b;
    };
    const Case cases[] = {
        {"empty", zeros(0), false, nullptr},
        {"4 bytes", zeros(4), false, nullptr},
        {"4 bytes of a real file", WriteVmd(FullContent()).CutAt(4), false, nullptr},
        // Bone count 0 from bytes 0-3; one byte is left, too few for the morph count.
        {"5 bytes", zeros(5), false, u"ReadBlednShape Fail.\r\n"},
        // Bone and morph counts 0, then the file ends: a complete, empty motion.
        {"8 bytes", zeros(8), true, nullptr},
        // Counts for bones, morphs, camera, light; 3 bytes cannot hold the shadow count.
        {"19 bytes", zeros(19), false, u"ReadShadow Fail.\r\n"},
        // A non-zero "count" in bytes 0-3 of a short file is checked against what is left.
        {"12 bytes, bone count 1", withCountAt(12, 0, 1), false, u"ReadMotion Fail.\r\n"},
        // 20 to 29 bytes: the model name is bytes 0-19, the bone count bytes 20-23.
        {"24 bytes", zeros(24), true, nullptr},
        {"22 bytes", zeros(22), false, u"ReadMotion Fail.\r\n"},
        {"29 bytes", zeros(29), false, u"ReadCamera Fail.\r\n"},
        {"24 bytes, count in the name", withCountAt(24, 0, 5), true, nullptr},
        // Header and name complete, bone count cut short.
        {"50 bytes", WriteVmd(FullContent()).CutAt(50), false, u"ReadMotion Fail.\r\n"},
        {"53 bytes", WriteVmd(FullContent()).CutAt(53), false, u"ReadMotion Fail.\r\n"},
    };
    for (const Case& c : cases) {
        MessageLog::Instance().Clear();
        VMDFile vmd;
        EXPECT_EQ(c.ok, ReadVMDFile(vmd, c.bytes)) << c.what;
        EXPECT_EQ(std::u16string(c.message ? c.message : u""), Log()) << c.what;
    }
}

TEST_F(VmdReaderTest, ShortFileWithoutHeaderTakesNameFromTheStart) {
    std::vector<uint8_t> bytes(24, 0);
    std::memcpy(bytes.data(), "abc", 3);
    VMDFile vmd;
    ASSERT_TRUE(ReadVMDFile(vmd, bytes));
    EXPECT_EQ('a', vmd.modelName[0]);
    EXPECT_EQ(0, vmd.header[0]);
}

// Cutting a file inside a count fails that section; cutting exactly before an optional count ends
// the file cleanly.
TEST_F(VmdReaderTest, CutInsideEachCount) {
    const VmdImage image = WriteVmd(FullContent());
    for (int s = 0; s < 6; ++s) {
        const size_t at = image.countOffset[s];
        for (size_t extra = 0; extra < 4; ++extra) {
            MessageLog::Instance().Clear();
            VMDFile vmd;
            const bool ok = ReadVMDFile(vmd, image.CutAt(at + extra));
            if (extra == 0 && s > 0) {
                EXPECT_TRUE(ok) << s;
                EXPECT_TRUE(Log().empty()) << s;
            } else {
                EXPECT_FALSE(ok) << s << "+" << extra;
                EXPECT_EQ(std::u16string(kSectionMessage[s]), Log()) << s << "+" << extra;
            }
        }
    }
}

// A file cut inside the records of a section fails that section instead of inventing zero keys.
TEST_F(VmdReaderTest, CutInsideRecordsFailsTheSection) {
    const VmdImage image = WriteVmd(FullContent());
    for (int s = 0; s < 6; ++s) {
        const size_t begin = image.countOffset[s] + 4;
        const size_t end = s < 5 ? image.countOffset[s + 1] : image.bytes.size();
        for (size_t at = begin; at < end; at += 5) {
            MessageLog::Instance().Clear();
            VMDFile vmd;
            EXPECT_FALSE(ReadVMDFile(vmd, image.CutAt(at))) << s << " at " << at;
            EXPECT_EQ(std::u16string(kSectionMessage[s]), Log()) << s << " at " << at;
        }
    }
}

// Counts that claim more records than the file holds are refused before anything is allocated.
TEST_F(VmdReaderTest, HostileCountsFailTheirSection) {
    for (uint32_t count : {1000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        for (int s = 0; s < 6; ++s) {
            VmdContent c = FullContent();
            c.countOverride[s] = count;
            MessageLog::Instance().Clear();
            VMDFile vmd;
            EXPECT_FALSE(ReadVMDFile(vmd, WriteVmd(c).bytes)) << s << " " << count;
            EXPECT_EQ(std::u16string(kSectionMessage[s]), Log()) << s << " " << count;
        }
    }
}

TEST_F(VmdReaderTest, HostileIKEntryCount) {
    VmdContent c = FullContent();
    VmdImage image = WriteVmd(c);
    // Entry count of the one IK key: after the key count, frame and show byte.
    const size_t entryCountAt = image.CountOffset(VmdSection::IK) + 4 + 4 + 1;
    for (uint32_t count : {3u, 0xFFFFFFFFu}) {
        std::memcpy(image.bytes.data() + entryCountAt, &count, 4);
        MessageLog::Instance().Clear();
        VMDFile vmd;
        EXPECT_FALSE(ReadVMDFile(vmd, image.bytes)) << count;
        EXPECT_EQ(u"ReadIK Fail.\r\n", Log());
    }
    // An IK key whose entry count is cut off.
    VMDFile vmd;
    MessageLog::Instance().Clear();
    EXPECT_FALSE(ReadVMDFile(vmd, image.CutAt(entryCountAt + 2)));
    EXPECT_EQ(u"ReadIK Fail.\r\n", Log());
}

TEST_F(VmdReaderTest, ReadsFromPath) {
    const auto dir = std::filesystem::temp_directory_path() / ("tavrin_vmd_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "motion.vmd";
    const std::vector<uint8_t> bytes = WriteVmd(FullContent()).bytes;
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    VMDFile vmd;
    EXPECT_TRUE(ReadVMDFile(vmd, path));
    EXPECT_EQ(2u, vmd.boneKeys.size());
    EXPECT_FALSE(ReadVMDFile(vmd, dir / "missing.vmd"));
    EXPECT_TRUE(vmd.boneKeys.empty());
    std::filesystem::remove_all(dir);
}

// Names travel as bytes and decode on request; the 16th (or 21st) byte always terminates them.
TEST_F(VmdReaderTest, NamesDecodeFromTheirFields) {
    struct Case {
        const char* what;
        std::string bytes;  // as written to the file (15 bytes kept for bones, 20 for IK)
        std::u16string decoded;
    };
    const Case cases[] = {
        {"ascii", "center", u"center"},
        {"fills 15 bytes", "ABCDEFGHIJKLMNO", u"ABCDEFGHIJKLMNO"},
        {"longer than 15 bytes is cut", "ABCDEFGHIJKLMNOPQ", u"ABCDEFGHIJKLMNO"},
        // Seven two-byte characters and one single byte fill the field exactly.
        {"double-byte, full", "\x83\x5A\x83\x93\x83\x5E\x81\x5B\x83\x5A\x83\x93\x83\x5EX",
         u"\u30BB\u30F3\u30BF\u30FC\u30BB\u30F3\u30BFX"},
        // The last file byte is a lead byte: its trail would be the terminator.
        {"lead byte at the end", "\x83\x5A\x83\x93\x83\x5E\x81\x5B\x83\x5A\x83\x93\x83\x5E\x83", u""},
        {"half-width katakana", "\xB1\xDF", u"\uFF71\uFF9F"},
        {"unassigned code", "a\x87\x40", u""},
        {"bad trail byte", "\x83\x20", u""},
        {"reverse solidus code", "\x81\x5F", u"\\"},
        {"empty", "", u""},
    };
    VmdContent c = VmdContent::WithSignature();
    for (const Case& k : cases) {
        c.boneKeys.push_back(TestSupport::MakeBoneKey(k.bytes, 0));
        c.morphKeys.push_back(TestSupport::MakeMorphKey(k.bytes, 0, 1.0f));
    }
    VMDIKKey ik;
    ik.ikInfos.push_back(TestSupport::MakeIKInfo("\x8D\xB6\x91\xAB\x82\x68\x82\x6A" "ABCDEFGHIJKL", true));
    ik.ikInfos.push_back(TestSupport::MakeIKInfo("\x8D\xB6\x91\xAB\x82\x68\x82\x6A" "ABCDEFGHIJK\x8D", true));
    c.ikKeys.push_back(ik);
    VMDFile vmd;
    ASSERT_TRUE(ReadVMDFile(vmd, WriteVmd(c).bytes));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].decoded, DecodeVMDName(vmd.boneKeys[i].boneName)) << cases[i].what;
        EXPECT_EQ(cases[i].decoded, DecodeVMDName(vmd.morphKeys[i].morphName)) << cases[i].what;
    }
    // An IK name of 20 bytes: four two-byte characters and twelve single bytes.
    EXPECT_EQ(u"\u5DE6\u8DB3\uFF29\uFF2BABCDEFGHIJKL", DecodeVMDName(vmd.ikKeys[0].ikInfos[0].name));
    EXPECT_EQ(u"", DecodeVMDName(vmd.ikKeys[0].ikInfos[1].name));
}
