#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "model/io/PmxReader.h"
#include "tests/support/PmxBuilders.h"
#include "model/io/PmxWriter.h"

using namespace Vesma;
using TestSupport::MakeEveryVariantPmx;
using Vesma::MakePmxHeader;
using Vesma::PatchInt32;
using Vesma::PmxLayout;
using Vesma::PmxWriteOptions;
using Vesma::WritePmx;

namespace {

class PmxReaderTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }
    static std::u16string Log() { return MessageLog::Instance().Peek(); }
};

// Reads `bytes` into a fresh record; the log is emptied first so each read's message stands alone.
bool Read(std::vector<uint8_t> bytes, PMXFile& out) {
    MessageLog::Instance().Clear();
    out.Clear();
    return ReadPMXFile(out, std::move(bytes));
}

// What a written record reads back as: empty texture paths come back as "empty.png".
PMXFile Expected(PMXFile file) {
    for (std::u16string& texture : file.textures) {
        if (texture.empty()) texture = u"empty.png";
    }
    return file;
}

void ExpectSameContent(const PMXFile& expected, const PMXFile& actual) {
    EXPECT_EQ(expected.header, actual.header);
    EXPECT_EQ(expected.modelName, actual.modelName);
    EXPECT_EQ(expected.englishModelName, actual.englishModelName);
    EXPECT_EQ(expected.comment, actual.comment);
    EXPECT_EQ(expected.englishComment, actual.englishComment);
    EXPECT_TRUE(expected.vertices == actual.vertices);
    EXPECT_TRUE(expected.faces == actual.faces);
    EXPECT_TRUE(expected.textures == actual.textures);
    EXPECT_TRUE(expected.materials == actual.materials);
    EXPECT_TRUE(expected.bones == actual.bones);
    EXPECT_TRUE(expected.morphs == actual.morphs);
    EXPECT_TRUE(expected.displayFrames == actual.displayFrames);
    EXPECT_TRUE(expected.rigidBodies == actual.rigidBodies);
    EXPECT_TRUE(expected.joints == actual.joints);
    EXPECT_TRUE(expected.softBodies == actual.softBodies);
}

struct HeaderCase {
    const char* name;
    float version;
    PMXEncoding encoding;
    uint8_t additionalUVs;
    std::array<uint8_t, 6> indexSizes;  // vertex, texture, material, bone, morph, rigid body
};

PMXHeader HeaderFor(const HeaderCase& c) {
    PMXHeader h = MakePmxHeader(c.version, c.encoding, 4);
    h.additionalUVCount = c.additionalUVs;
    h.vertexIndexSize = c.indexSizes[0];
    h.textureIndexSize = c.indexSizes[1];
    h.materialIndexSize = c.indexSizes[2];
    h.boneIndexSize = c.indexSizes[3];
    h.morphIndexSize = c.indexSizes[4];
    h.rigidBodyIndexSize = c.indexSizes[5];
    return h;
}

const HeaderCase kHeaderCases[] = {
    {"v20_utf16_1byte", 2.0f, PMXEncoding::UTF16, 0, {1, 1, 1, 1, 1, 1}},
    {"v20_utf16_2byte", 2.0f, PMXEncoding::UTF16, 1, {2, 2, 2, 2, 2, 2}},
    {"v20_utf8_4byte", 2.0f, PMXEncoding::UTF8, 2, {4, 4, 4, 4, 4, 4}},
    {"v21_utf16_mixed", 2.1f, PMXEncoding::UTF16, 4, {2, 1, 1, 2, 4, 1}},
    {"v21_utf8_mixed", 2.1f, PMXEncoding::UTF8, 3, {4, 2, 1, 1, 2, 4}},
    {"v21_utf8_1byte", 2.1f, PMXEncoding::UTF8, 0, {1, 1, 1, 1, 1, 1}},
};

// Section messages in file order, as the log holds them.
const char16_t* const kSectionMessages[] = {
    u"ReadVertex Fail.\r\n",   u"ReadFace Fail.\r\n",         u"ReadTexture Fail.\r\n", u"ReadMaterial Fail.\r\n",
    u"ReadBone Fail.\r\n",     u"ReadMorph Fail.\r\n",        u"ReadDisplayFrame Fail.\r\n",
    u"ReadRigidbody Fail.\r\n", u"ReadJoint Fail.\r\n",       u"ReadSoftbody Fail.\r\n"};

std::vector<size_t> SectionStarts(const PmxLayout& at) {
    return {at.vertices, at.faces, at.textures, at.materials, at.bones,
            at.morphs, at.displayFrames, at.rigidBodies, at.joints, at.softBodies};
}

}  // namespace

TEST_F(PmxReaderTest, EveryVariantRoundTripsUnderEachHeaderShape) {
    for (const HeaderCase& c : kHeaderCases) {
        SCOPED_TRACE(c.name);
        const PMXFile source = MakeEveryVariantPmx(HeaderFor(c));
        if (c.version > 2.0f) {
            ASSERT_FALSE(source.softBodies.empty());
        }
        PMXFile read;
        ASSERT_TRUE(Read(WritePmx(source), read)) << Utf16ToUtf8(Log());
        EXPECT_TRUE(Log().empty());
        EXPECT_TRUE(read.buffer.empty());
        ExpectSameContent(Expected(source), read);
    }
}

TEST_F(PmxReaderTest, ReadsSectionValuesIntoTheRightFields) {
    // Spot checks on top of the round trip: a writer and reader that agreed on a wrong layout
    // would still round-trip, so pin down a few values and the byte layout they came from.
    PMXHeader header = MakePmxHeader(2.1f, PMXEncoding::UTF16, 1);
    header.additionalUVCount = 1;
    PMXFile source = MakeEveryVariantPmx(header);
    PmxLayout at;
    const std::vector<uint8_t> bytes = WritePmx(source, {}, &at);
    // Fixed header (17 bytes), then the model name as a UTF-16 text.
    EXPECT_EQ(0, std::memcmp(bytes.data(), "PMX ", 4));
    EXPECT_EQ(17u, at.texts);
    int32_t nameBytes = 0;
    std::memcpy(&nameBytes, bytes.data() + 17, 4);
    EXPECT_EQ(static_cast<int32_t>(source.modelName.size() * 2), nameBytes);
    // Six vertices of 32 + 16 (one additional UV) + 1 (type) + 4 (edge) bytes, plus per weight
    // type BDEF1 1, BDEF2 6, BDEF4 20, SDEF 42, QDEF 20, BDEF1 1 bytes of 1-byte indices and weights.
    EXPECT_EQ(4u + 6 * 53 + 90, at.faces - at.vertices);

    PMXFile read;
    ASSERT_TRUE(Read(bytes, read));
    EXPECT_EQ(PMXVertexWeight::SDEF, read.vertices[3].weightType);
    EXPECT_EQ(Math::vec3(7, 8, 9), read.vertices[3].sdefR1);
    EXPECT_EQ(0.625f, read.vertices[3].boneWeights[0]);
    // BDEF2 keeps only weight 1; the second slot stays zero.
    EXPECT_EQ(0.75f, read.vertices[1].boneWeights[0]);
    EXPECT_EQ(0.0f, read.vertices[1].boneWeights[1]);
    // QDEF fills the same four slots as BDEF4, in file order.
    EXPECT_EQ((std::array<int32_t, 4>{3, 2, 1, 0}), read.vertices[4].boneIndices);
    EXPECT_EQ((std::array<float, 4>{0.4f, 0.3f, 0.2f, 0.1f}), read.vertices[4].boneWeights);
    EXPECT_EQ(Math::vec4(3, 3, 0, 1), read.vertices[3].additionalUV[0]);
    EXPECT_EQ(Math::vec4(), read.vertices[3].additionalUV[1]);
    EXPECT_EQ(PMXToonMode::Common, read.materials[1].toonMode);
    EXPECT_EQ(3, read.materials[1].toonTextureIndex);
    EXPECT_EQ(u"empty.png", read.textures[1]);
    const PMXBone& ik = read.bones[7];
    ASSERT_EQ(2u, ik.ikLinks.size());
    EXPECT_EQ(1, ik.ikLinks[0].enableLimit);
    EXPECT_EQ(Math::vec3(-3.125f, 0, 0), ik.ikLinks[0].limitMin);
    EXPECT_EQ(Math::vec3(), ik.ikLinks[1].limitMax);
    EXPECT_EQ(42, read.bones[6].keyValue);
    ASSERT_EQ(11u, read.morphs.size());
    for (int type = 0; type <= 10; ++type) {
        EXPECT_EQ(type, static_cast<int>(read.morphs[type].morphType));
    }
    // Only the list of a morph's own type is filled; UV kinds share one list.
    EXPECT_TRUE(read.morphs[6].positionMorph.empty());
    EXPECT_EQ(2u, read.morphs[6].uvMorph.size());
    EXPECT_EQ(-1, read.morphs[1].positionMorph[2].vertexIndex);
    EXPECT_EQ(Math::quat(0, 0.6f, 0, 0.8f), read.morphs[2].boneMorph[0].quaternion);
    EXPECT_EQ(PMXDisplayFrameTargetType::MorphIndex, read.displayFrames[1].targets[1].type);
    EXPECT_EQ(9, read.displayFrames[1].targets[1].index);
    EXPECT_EQ(-1, read.rigidBodies[2].boneIndex);
    EXPECT_EQ(0x3FFF, read.rigidBodies[2].collisionGroup);
    EXPECT_EQ(PMXRigidBodyShape::Capsule, read.rigidBodies[2].shape);
    ASSERT_EQ(2u, read.softBodies.size());
    EXPECT_EQ(0x3F800000u + 24u, read.softBodies[0].parameters[PMXSoftBody::VST]);
    EXPECT_EQ(1, read.softBodies[0].anchorRigidBodies[1].nearMode);
    EXPECT_EQ(-1, read.softBodies[1].materialIndex);
}

TEST_F(PmxReaderTest, IndexSizesMapAllOnesToMinusOneButNotFaces) {
    struct Case {
        uint8_t size;
        int32_t written;   // written as the low `size` bytes
        int32_t expected;  // as read into a bone index
        uint32_t faceExpected;  // the same bytes read as a face index
    };
    const Case cases[] = {
        {1, 0xFF, -1, 0xFF},           {1, 0x80, 128, 0x80},          {1, 0, 0, 0},
        {1, 0xFE, 254, 0xFE},          {2, 0xFFFF, -1, 0xFFFF},       {2, 0x8000, 32768, 0x8000},
        {2, 0x00FF, 255, 0xFF},        {4, -1, -1, 0xFFFFFFFFu},      {4, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFFu},
        {4, -2, -2, 0xFFFFFFFEu},      {4, 0x12345678, 0x12345678, 0x12345678u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << int(c.size) << " value " << c.written);
        PMXFile source;
        source.header = MakePmxHeader(2.0f, PMXEncoding::UTF16, c.size);
        source.vertices.resize(1);
        source.vertices[0].boneIndices[0] = c.written;
        source.faces = {PMXFace{{static_cast<uint32_t>(c.written), 0, 1}}};
        PMXFile read;
        ASSERT_TRUE(Read(WritePmx(source), read));
        EXPECT_EQ(c.expected, read.vertices[0].boneIndices[0]);
        EXPECT_EQ(c.faceExpected, read.faces[0].vertices[0]);
    }
}

TEST_F(PmxReaderTest, UnknownIndexSizeReadsNothingExceptForFaces) {
    // A bone index size of 3 reads nothing: the field keeps its zero and the rest stays aligned.
    PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.0f, PMXEncoding::UTF16, 1));
    source.header.boneIndexSize = 3;
    PMXFile read;
    ASSERT_TRUE(Read(WritePmx(source), read));
    EXPECT_EQ(0, read.vertices[5].boneIndices[0]);
    EXPECT_EQ(0, read.bones[0].parentBoneIndex);
    EXPECT_EQ(source.morphs.size(), read.morphs.size());

    // A vertex index size other than 1, 2 or 4 fails the faces.
    source.header.boneIndexSize = 1;
    source.header.vertexIndexSize = 3;
    EXPECT_FALSE(Read(WritePmx(source), read));
    EXPECT_EQ(u"ReadFace Fail.\r\n", Log());
}

TEST_F(PmxReaderTest, TinyBuffers) {
    PMXFile read;
    for (size_t size = 0; size < 5; ++size) {
        EXPECT_FALSE(Read(std::vector<uint8_t>(size, 0x50), read));
        EXPECT_TRUE(Log().empty()) << size;
    }
    // Five bytes: the magic fits, nothing after it does.
    EXPECT_FALSE(Read({'P', 'M', 'X', ' ', 0x00}, read));
    EXPECT_EQ(u"ReadVertex Fail.\r\n", Log());
    EXPECT_EQ((std::array<char, 4>{'P', 'M', 'X', ' '}), read.header.magic);
    EXPECT_EQ(0.0f, read.header.version);
}

TEST_F(PmxReaderTest, OtherMagicAndVersionAreReadLikeAnyOther) {
    PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.0f, PMXEncoding::UTF16, 2));
    source.header.magic = {'X', 'Y', 'Z', '!'};
    source.header.version = 3.0f;
    source.header.dataSize = 99;
    PMXFile read;
    ASSERT_TRUE(Read(WritePmx(source), read));
    ExpectSameContent(Expected(source), read);
}

TEST_F(PmxReaderTest, EveryCutFailsInTheSectionItFallsIn) {
    // Cutting the file at any length fails in the section whose bytes are cut, with that
    // section's one message; cutting inside the first 5 bytes fails silently. A cut within the
    // two bytes after the joints of a 2.1 file reads as a file without soft bodies.
    for (float version : {2.0f, 2.1f}) {
        SCOPED_TRACE(version);
        PMXHeader header = MakePmxHeader(version, PMXEncoding::UTF16, 2);
        header.additionalUVCount = 1;
        const PMXFile source = MakeEveryVariantPmx(header);
        PmxLayout at;
        const std::vector<uint8_t> bytes = WritePmx(source, {}, &at);
        const std::vector<size_t> starts = SectionStarts(at);
        for (size_t length = 0; length < bytes.size(); ++length) {
            SCOPED_TRACE(length);
            PMXFile read;
            const bool ok = Read(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length), read);
            if (length < 5) {
                EXPECT_FALSE(ok);
                EXPECT_TRUE(Log().empty());
                continue;
            }
            if (version > 2.0f && length >= at.softBodies && length <= at.softBodies + 2) {
                EXPECT_TRUE(ok);
                EXPECT_TRUE(read.softBodies.empty());
                EXPECT_TRUE(Expected(source).joints == read.joints);
                continue;
            }
            size_t section = 0;
            for (size_t k = 0; k < starts.size(); ++k) {
                if (starts[k] <= length) section = k;
            }
            EXPECT_FALSE(ok);
            ASSERT_EQ(kSectionMessages[section], Log());
        }
    }
}

TEST_F(PmxReaderTest, TrailingBytesAfterJoints) {
    const PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.0f, PMXEncoding::UTF16, 1));
    std::vector<uint8_t> bytes = WritePmx(source);
    PMXFile read;
    // Up to two trailing bytes are ignored.
    for (int extra = 1; extra <= 2; ++extra) {
        bytes.push_back(0xAB);
        EXPECT_TRUE(Read(bytes, read)) << extra;
        EXPECT_TRUE(read.softBodies.empty());
    }
    // Four zero bytes read as an empty soft-body list.
    bytes.resize(bytes.size() - 2);
    bytes.insert(bytes.end(), {0, 0, 0, 0});
    EXPECT_TRUE(Read(bytes, read));
    EXPECT_TRUE(read.softBodies.empty());
}

TEST_F(PmxReaderTest, OutOfRangeTypeBytesFailTheirSection) {
    struct Case {
        const char* name;
        void (*spoil)(PMXFile&);
        const char16_t* message;
    };
    const Case cases[] = {
        {"weight type 5", [](PMXFile& f) { f.vertices[2].weightType = static_cast<PMXVertexWeight>(5); },
         u"ReadVertex Fail.\r\n"},
        {"weight type 255", [](PMXFile& f) { f.vertices[0].weightType = static_cast<PMXVertexWeight>(255); },
         u"ReadVertex Fail.\r\n"},
        {"toon mode 2", [](PMXFile& f) { f.materials[1].toonMode = static_cast<PMXToonMode>(2); },
         u"ReadMaterial Fail.\r\n"},
        {"morph type 11", [](PMXFile& f) { f.morphs[3].morphType = static_cast<PMXMorphType>(11); },
         u"ReadMorph Fail.\r\n"},
        {"morph type 255", [](PMXFile& f) { f.morphs[0].morphType = static_cast<PMXMorphType>(255); },
         u"ReadMorph Fail.\r\n"},
        {"display target 2",
         [](PMXFile& f) { f.displayFrames[2].targets[1].type = static_cast<PMXDisplayFrameTargetType>(2); },
         u"ReadDisplayFrame Fail.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.1f, PMXEncoding::UTF16, 1));
        c.spoil(source);
        PMXFile read;
        EXPECT_FALSE(Read(WritePmx(source), read));
        EXPECT_EQ(c.message, Log());
    }
    // Bytes that are only stored (sphere mode, shape, operation, joint type) don't fail anything.
    PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.0f, PMXEncoding::UTF16, 1));
    source.materials[0].sphereMode = static_cast<PMXSphereMode>(9);
    source.rigidBodies[0].shape = static_cast<PMXRigidBodyShape>(7);
    source.rigidBodies[0].op = static_cast<PMXRigidBodyOperation>(8);
    source.joints[0].type = static_cast<PMXJointType>(5);
    PMXFile read;
    ASSERT_TRUE(Read(WritePmx(source), read));
    ExpectSameContent(Expected(source), read);
}

TEST_F(PmxReaderTest, CorruptCountsFailWithoutHugeLists) {
    PMXHeader header = MakePmxHeader(2.1f, PMXEncoding::UTF16, 4);
    const PMXFile source = MakeEveryVariantPmx(header);
    PmxLayout at;
    const std::vector<uint8_t> bytes = WritePmx(source, {}, &at);
    const std::vector<size_t> starts = SectionStarts(at);
    for (size_t k = 0; k < starts.size(); ++k) {
        for (int32_t count : {0x7FFFFFFF, -1, std::numeric_limits<int32_t>::min(), 100000}) {
            SCOPED_TRACE(testing::Message() << "section " << k << " count " << count);
            std::vector<uint8_t> spoiled = bytes;
            PatchInt32(spoiled, starts[k], count);
            PMXFile read;
            EXPECT_FALSE(Read(spoiled, read));
            EXPECT_EQ(kSectionMessages[k], Log());
        }
    }
}

TEST_F(PmxReaderTest, CorruptNestedCountsFailTheirSection) {
    // One element per section whose nested list is empty, so the nested count is the section's
    // last 4 bytes (the anchors' count is the 4 bytes before the pins' count).
    PMXFile source;
    source.header = MakePmxHeader(2.1f, PMXEncoding::UTF16, 2);
    source.bones.resize(1);
    source.bones[0].boneFlag = static_cast<uint16_t>(PMXBoneFlags::IK);
    source.morphs.resize(1);
    source.morphs[0].morphType = PMXMorphType::Material;
    source.displayFrames.resize(1);
    source.softBodies.resize(1);
    PmxLayout at;
    const std::vector<uint8_t> bytes = WritePmx(source, {}, &at);
    struct Case {
        const char* name;
        size_t offset;
        const char16_t* message;
    };
    const Case cases[] = {
        {"IK links", at.morphs - 4, u"ReadBone Fail.\r\n"},
        {"morph offsets", at.displayFrames - 4, u"ReadMorph Fail.\r\n"},
        {"display-frame elements", at.rigidBodies - 4, u"ReadDisplayFrame Fail.\r\n"},
        {"soft-body anchors", at.end - 8, u"ReadSoftbody Fail.\r\n"},
        {"soft-body pins", at.end - 4, u"ReadSoftbody Fail.\r\n"},
    };
    PMXFile read;
    ASSERT_TRUE(Read(bytes, read)) << Utf16ToUtf8(Log());
    for (const Case& c : cases) {
        for (int32_t count : {0x7FFFFFFF, -5, 1 << 20}) {
            SCOPED_TRACE(testing::Message() << c.name << " " << count);
            std::vector<uint8_t> spoiled = bytes;
            PatchInt32(spoiled, c.offset, count);
            EXPECT_FALSE(Read(spoiled, read));
            EXPECT_EQ(c.message, Log());
        }
    }
}

TEST_F(PmxReaderTest, TextLengthPastTheEndFailsTheSection) {
    PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.0f, PMXEncoding::UTF16, 1));
    PmxLayout at;
    const std::vector<uint8_t> bytes = WritePmx(source, {}, &at);
    struct Case {
        size_t offset;
        int32_t length;
        const char16_t* message;
    };
    const Case cases[] = {
        {at.texts, 0x7FFFFFF0, u"ReadVertex Fail.\r\n"},  // the model name
        {at.texts, -2, u"ReadVertex Fail.\r\n"},
        {at.textures + 4, 0x10000000, u"ReadTexture Fail.\r\n"},  // the first texture path
        {at.textures + 4, -1, u"ReadTexture Fail.\r\n"},
        {at.materials + 4, 0x7FFFFFFF, u"ReadMaterial Fail.\r\n"},  // the first material's name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " " << c.length);
        std::vector<uint8_t> spoiled = bytes;
        PatchInt32(spoiled, c.offset, c.length);
        PMXFile read;
        EXPECT_FALSE(Read(spoiled, read));
        EXPECT_EQ(c.message, Log());
    }
}

TEST_F(PmxReaderTest, HeaderValuesTheSectionsCannotUseAreRefused) {
    struct Case {
        uint8_t encoding;
        uint8_t additionalUVs;
        const char16_t* message;
    };
    const Case cases[] = {
        {0, 5, u"ReadHeader Fail: additional UV count 5 is above 4.\r\n"},
        {1, 255, u"ReadHeader Fail: additional UV count 255 is above 4.\r\n"},
        {2, 0, u"ReadHeader Fail: unknown text encoding 2.\r\n"},
        {200, 1, u"ReadHeader Fail: unknown text encoding 200.\r\n"},
    };
    for (const Case& c : cases) {
        PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.0f, PMXEncoding::UTF16, 1));
        source.header.encoding = static_cast<PMXEncoding>(c.encoding);
        source.header.additionalUVCount = c.additionalUVs;
        PMXFile read;
        EXPECT_FALSE(Read(WritePmx(source), read));
        EXPECT_EQ(c.message, Log());
        EXPECT_TRUE(read.vertices.empty());
    }
}

TEST_F(PmxReaderTest, FaceCountNotAMultipleOfThree) {
    // Ten indices give three faces; the tenth index is skipped so the textures still line up.
    PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.0f, PMXEncoding::UTF16, 2));
    PmxWriteOptions options;
    options.extraFaceIndices = {7};
    PMXFile read;
    ASSERT_TRUE(Read(WritePmx(source, options), read));
    EXPECT_EQ(3u, read.faces.size());
    ExpectSameContent(Expected(source), read);
    // Two extra indices: still whole faces only.
    options.extraFaceIndices = {7, 8};
    ASSERT_TRUE(Read(WritePmx(source, options), read));
    EXPECT_TRUE(source.faces == read.faces);
    EXPECT_TRUE(Expected(source).materials == read.materials);
}

TEST_F(PmxReaderTest, TextsDecodeAsStored) {
    PMXFile source;
    source.header = MakePmxHeader(2.0f, PMXEncoding::UTF16, 1);
    source.modelName = u"a\u4142";  // bytes 61 00 42 41
    source.englishModelName = u"ab\0cd";
    source.englishModelName.assign(u"ab\0cd", 5);
    source.comment = u"\U0001F600 초록 ünï";
    PmxLayout at;
    std::vector<uint8_t> bytes = WritePmx(source, {}, &at);
    // Make the name 3 bytes long: its odd last byte becomes the low byte of a last unit.
    PatchInt32(bytes, at.texts, 3);
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at.texts + 4 + 3));
    PMXFile read;
    ASSERT_TRUE(Read(bytes, read));
    EXPECT_EQ(u"aB", read.modelName);
    EXPECT_EQ(u"ab", read.englishModelName);  // ends at the first zero unit
    EXPECT_EQ(source.comment, read.comment);

    // UTF-8: ends at the first zero byte; invalid sequences become U+FFFD.
    source.header.encoding = PMXEncoding::UTF8;
    source.modelName = u"モデル ✓";
    bytes = WritePmx(source, {}, &at);
    ASSERT_TRUE(Read(bytes, read));
    EXPECT_EQ(u"モデル ✓", read.modelName);
    EXPECT_EQ(u"ab", read.englishModelName);
    EXPECT_EQ(source.comment, read.comment);
    bytes[at.texts + 4] = 0xFF;
    ASSERT_TRUE(Read(bytes, read));
    EXPECT_EQ(u'\uFFFD', read.modelName[0]);
}

TEST_F(PmxReaderTest, BufferAndPathReads) {
    const PMXFile source = MakeEveryVariantPmx(MakePmxHeader(2.1f, PMXEncoding::UTF8, 2));
    const std::vector<uint8_t> bytes = WritePmx(source);

    // Borrowed bytes: nothing is copied into the record.
    PMXFile borrowed;
    ASSERT_TRUE(ReadPMXFile(borrowed, std::span<const uint8_t>(bytes)));
    EXPECT_TRUE(borrowed.buffer.empty());
    EXPECT_EQ(bytes.size(), borrowed.position);
    ExpectSameContent(Expected(source), borrowed);

    // Owned bytes are kept while reading and emptied on success, kept on failure.
    PMXFile owned;
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 100);
    EXPECT_FALSE(ReadPMXFile(owned, std::move(cut)));
    EXPECT_EQ(100u, owned.buffer.size());

    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("tavrin_pmx_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / "モデル.pmx";
    ASSERT_TRUE(WriteWholeFileAtomic(path, bytes));
    PMXFile fromPath;
    EXPECT_TRUE(ReadPMXFile(fromPath, path));
    ExpectSameContent(Expected(source), fromPath);
    PMXFile missing;
    MessageLog::Instance().Clear();
    EXPECT_FALSE(ReadPMXFile(missing, dir / "missing.pmx"));
    EXPECT_FALSE(ReadPMXFile(missing, dir));
    std::filesystem::remove_all(dir);

    // A record that already holds a model is reset by the next read.
    PMXFile reused = fromPath;
    ASSERT_TRUE(ReadPMXFile(reused, WritePmx(MakeEveryVariantPmx(MakePmxHeader(2.0f, PMXEncoding::UTF16, 1)))));
    EXPECT_TRUE(reused.softBodies.empty());
    EXPECT_EQ(source.vertices.size(), reused.vertices.size());

    // Clear empties everything for reuse.
    fromPath.Clear();
    EXPECT_TRUE(fromPath.vertices.empty());
    EXPECT_TRUE(fromPath.modelName.empty());
    EXPECT_TRUE(fromPath.softBodies.empty());
}

TEST_F(PmxReaderTest, ListsOfTheSmallestElementsAreNotMistakenForCorruptCounts) {
    // The count checks assume a smallest possible element; a list of 100 such elements followed
    // only by empty sections must still read, for every index size.
    constexpr size_t kCount = 100;
    for (uint8_t size : {1, 2, 4}) {
        SCOPED_TRACE(testing::Message() << "index size " << int(size));
        const PMXHeader header = MakePmxHeader(2.1f, PMXEncoding::UTF16, size);
        std::vector<PMXFile> files;
        auto add = [&](auto fill) {
            PMXFile f;
            f.header = header;
            fill(f);
            files.push_back(std::move(f));
        };
        add([](PMXFile& f) { f.vertices.resize(kCount); });
        add([](PMXFile& f) { f.textures.assign(kCount, u""); });
        add([](PMXFile& f) {
            f.materials.resize(kCount);
            for (PMXMaterial& m : f.materials) m.toonMode = PMXToonMode::Common;
        });
        add([](PMXFile& f) {
            f.bones.resize(kCount);
            for (PMXBone& b : f.bones) b.boneFlag = static_cast<uint16_t>(PMXBoneFlags::TargetShowMode);
        });
        add([](PMXFile& f) {
            f.bones.resize(1);
            f.bones[0].boneFlag = static_cast<uint16_t>(PMXBoneFlags::IK) |
                                  static_cast<uint16_t>(PMXBoneFlags::TargetShowMode);
            f.bones[0].ikLinks.resize(kCount);
        });
        add([](PMXFile& f) { f.morphs.resize(kCount); });
        for (int type = 0; type <= 10; ++type) {
            add([type](PMXFile& f) {
                f.morphs.resize(1);
                PMXMorph& m = f.morphs[0];
                m.morphType = static_cast<PMXMorphType>(type);
                m.groupMorph.resize(type == 0 ? kCount : 0);
                m.positionMorph.resize(type == 1 ? kCount : 0);
                m.boneMorph.resize(type == 2 ? kCount : 0);
                m.uvMorph.resize(type >= 3 && type <= 7 ? kCount : 0);
                m.materialMorph.resize(type == 8 ? kCount : 0);
                m.flipMorph.resize(type == 9 ? kCount : 0);
                m.impulseMorph.resize(type == 10 ? kCount : 0);
            });
        }
        add([](PMXFile& f) { f.displayFrames.resize(kCount); });
        add([](PMXFile& f) {
            f.displayFrames.resize(1);
            f.displayFrames[0].targets.resize(kCount);
        });
        add([](PMXFile& f) { f.rigidBodies.resize(kCount); });
        add([](PMXFile& f) { f.joints.resize(kCount); });
        add([](PMXFile& f) { f.softBodies.resize(kCount); });
        add([](PMXFile& f) {
            f.softBodies.resize(1);
            f.softBodies[0].anchorRigidBodies.resize(kCount);
        });
        add([](PMXFile& f) {
            f.softBodies.resize(1);
            f.softBodies[0].pinVertexIndices.resize(kCount);
        });
        for (size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(i);
            PMXFile read;
            ASSERT_TRUE(Read(WritePmx(files[i]), read)) << Utf16ToUtf8(Log());
            ExpectSameContent(Expected(files[i]), read);
        }
    }
}
