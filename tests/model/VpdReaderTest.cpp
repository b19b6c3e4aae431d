#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/MessageLog.h"
#include "core/ShiftJis.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/io/MotionFileReader.h"
#include "model/io/PmdReader.h"
#include "model/io/VmdReader.h"
#include "model/io/VpdReader.h"
#include "model/motion/VMDModelAnimation.h"
#include "tests/support/PmdWriter.h"

using namespace Vesma;

namespace {

class VpdReaderTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }
    static std::u16string Log() { return MessageLog::Instance().Peek(); }
};

// Pose text written in UTF-8 here, stored as the Shift_JIS the format uses (line by line, so the
// ASCII parts and line ends stay as written).
std::vector<uint8_t> Sjis(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        if (c < 0x80) {
            bytes.push_back(static_cast<uint8_t>(c));
            continue;
        }
        const std::string encoded = EncodeShiftJisName(std::u16string(1, c));
        EXPECT_FALSE(encoded.empty());
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    return bytes;
}

bool Read(const std::u16string& text, VMDFile& vmd) {
    MessageLog::Instance().Clear();
    const std::vector<uint8_t> bytes = Sjis(text);
    return ReadVPDFile(vmd, std::span<const uint8_t>(bytes));
}

size_t CountMessages(const std::u16string& log) {
    size_t n = 0;
    for (size_t at = log.find(u"\r\n"); at != std::u16string::npos; at = log.find(u"\r\n", at + 2)) ++n;
    return n;
}

const std::u16string kPose =
    u"// exported pose\r\n"
    u"Vocaloid Pose Data file\r\n"
    u"\r\n"
    u"miku.osm;\t\t// parent file\r\n"
    u"3;  // bones\r\n"
    u"\r\n"
    u"Bone0{センター\r\n"
    u"  0.000000,1.500000,-2.250000;\t// trans x,y,z\r\n"
    u"  0.000000,0.000000,0.000000,1.000000;  // Quaternion x,y,z,w\r\n"
    u"}\r\n"
    u"// a comment between blocks\r\n"
    u"\r\n"
    u"Bone1{左腕\r\n"
    u"  0,0,0;\r\n"
    u"  0.1, 0.2 , +0.3,0.927362;\r\n"
    u"}\r\n"
    u"Bone2{存在しない骨\r\n"
    u"  1.0,2.0,3.0;\r\n"
    u"  0.0,0.0,0.0,1.0;\r\n"
    u"}\r\n"
    u"Morph0{まばたき\r\n"
    u"  0.750000;\r\n"
    u"}\r\n";

TEST_F(VpdReaderTest, ReadsBonesAndMorphsThroughCommentsBlankLinesAndCrLf) {
    VMDFile vmd;
    ASSERT_TRUE(Read(kPose, vmd)) << std::string(Log().begin(), Log().end());
    EXPECT_TRUE(Log().empty());
    ASSERT_EQ(vmd.boneKeys.size(), 3u);
    EXPECT_EQ(DecodeVMDName(vmd.boneKeys[0].boneName), u"センター");
    EXPECT_EQ(vmd.boneKeys[0].frame, 0u);
    EXPECT_EQ(vmd.boneKeys[0].translation, Math::vec3(0, 1.5f, -2.25f));
    EXPECT_EQ(DecodeVMDName(vmd.boneKeys[1].boneName), u"左腕");
    EXPECT_FLOAT_EQ(vmd.boneKeys[1].rotation.z, 0.3f);
    EXPECT_FLOAT_EQ(vmd.boneKeys[1].rotation.w, 0.927362f);
    ASSERT_EQ(vmd.morphKeys.size(), 1u);
    EXPECT_EQ(DecodeVMDName(vmd.morphKeys[0].morphName), u"まばたき");
    EXPECT_EQ(vmd.morphKeys[0].weight, 0.75f);
    EXPECT_EQ(std::string(vmd.modelName.begin(), vmd.modelName.begin() + 8), "miku.osm");

    // The same text with LF line ends reads the same.
    std::u16string lf = kPose;
    for (size_t at; (at = lf.find(u"\r\n")) != std::u16string::npos;) lf.erase(at, 1);
    VMDFile again;
    ASSERT_TRUE(Read(lf, again));
    ASSERT_EQ(again.boneKeys.size(), 3u);
    EXPECT_EQ(again.boneKeys[1].rotation.x, vmd.boneKeys[1].rotation.x);
}

TEST_F(VpdReaderTest, FewerBlocksThanDeclaredReadWithANote) {
    VMDFile vmd;
    ASSERT_TRUE(Read(u"Vocaloid Pose Data file\nm.osm;\n5;\nBone0{a\n0,0,0;\n0,0,0,1;\n}\n", vmd));
    EXPECT_EQ(vmd.boneKeys.size(), 1u);
    EXPECT_EQ(CountMessages(Log()), 1u);
    EXPECT_NE(Log().find(u"declares 5 bones and holds 1"), std::u16string::npos);
    // No blocks at all is an empty pose.
    ASSERT_TRUE(Read(u"Vocaloid Pose Data file\nm.osm;\n0;\n", vmd));
    EXPECT_TRUE(vmd.boneKeys.empty());
    EXPECT_TRUE(Log().empty());
}

TEST_F(VpdReaderTest, BrokenFilesFailWithOneMessageNamingTheLine) {
    const struct {
        std::u16string text;
        std::u16string expected;
    } cases[] = {
        {u"", u"the pose file is empty"},
        {u"Vocaloid Motion Data 0002\n", u"line 1: the pose file header"},
        {u"Vocaloid Pose Data file\n", u"the end of the file: expected the model name"},
        {u"Vocaloid Pose Data file\nm.osm\n1;\n", u"line 2: expected the model name"},
        {u"Vocaloid Pose Data file\nm.osm;\nmany;\n", u"line 3: expected the bone count"},
        {u"Vocaloid Pose Data file\nm.osm;\n1;\nBone{a\n", u"line 4: expected a \"BoneN{name\""},
        {u"Vocaloid Pose Data file\nm.osm;\n1;\nBone0{a\n0,0;\n0,0,0,1;\n}\n", u"line 5: expected 3 numbers, found 2"},
        {u"Vocaloid Pose Data file\nm.osm;\n1;\nBone0{a\n0,000000,1,500000,0,000000;\n0,0,0,1;\n}\n",
         u"line 5: decimal commas are not accepted"},
        {u"Vocaloid Pose Data file\nm.osm;\n1;\nMorph0{a\n0,5;\n}\n", u"line 5: decimal commas are not accepted"},
        {u"Vocaloid Pose Data file\nm.osm;\n1;\nBone0{a\n0,x,0;\n0,0,0,1;\n}\n", u"line 5: \"x\" is not a number"},
        {u"Vocaloid Pose Data file\nm.osm;\n1;\nBone0{a\n0,1e999,0;\n0,0,0,1;\n}\n", u"is not a number"},
        {u"Vocaloid Pose Data file\nm.osm;\n1;\nBone0{a\n0,0,0;\n0,0,0,1;\n", u"the end of the file: expected '}'"},
        {u"Vocaloid Pose Data file\nm.osm;\n1;\nBone0{a\n0,0,0;\n0,0,0,1\n}\n", u"line 6: expected 4 numbers followed by ';'"},
    };
    for (const auto& c : cases) {
        VMDFile vmd;
        EXPECT_FALSE(Read(c.text, vmd)) << std::string(c.text.begin(), c.text.end());
        const std::u16string log = Log();
        EXPECT_EQ(CountMessages(log), 1u) << std::string(log.begin(), log.end());
        EXPECT_NE(log.find(c.expected), std::u16string::npos) << std::string(log.begin(), log.end());
    }

    // Any cut of a good file either reads (fewer blocks) or fails with one message.
    const std::vector<uint8_t> bytes = Sjis(kPose);
    for (size_t size = 0; size < bytes.size(); ++size) {
        MessageLog::Instance().Clear();
        VMDFile vmd;
        const bool ok = ReadVPDFile(vmd, std::span(bytes.data(), size));
        if (!ok) {
            EXPECT_EQ(CountMessages(Log()), 1u) << "cut at " << size;
        }
    }
    // Bytes that are no text at all.
    std::vector<uint8_t> garbage(512);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 73 + 11);
    VMDFile vmd;
    MessageLog::Instance().Clear();
    EXPECT_FALSE(ReadVPDFile(vmd, std::span<const uint8_t>(garbage)));
    EXPECT_EQ(CountMessages(Log()), 1u);
}

TEST_F(VpdReaderTest, DispatcherTellsPosesFromMotions) {
    const std::vector<uint8_t> pose = Sjis(kPose);
    EXPECT_EQ(DetectMotionFileFormat(pose, u"dance.vmd"), MotionFileFormat::VPD);
    const std::vector<uint8_t> motion = Sjis(u"Vocaloid Motion Data 0002\0\0\0\0\0");
    EXPECT_EQ(DetectMotionFileFormat(motion, u"pose.vpd"), MotionFileFormat::VMD);
    EXPECT_EQ(DetectMotionFileFormat(Sjis(u"junk"), u"pose.VPD"), MotionFileFormat::VPD);
    EXPECT_TRUE(IsMotionFileName(u"x/pose.Vpd"));
    EXPECT_FALSE(IsMotionFileName(u"x/model.pmd"));
    VMDFile vmd;
    ASSERT_TRUE(ReadMotionFile(vmd, std::vector<uint8_t>(pose), u"anything"));
    EXPECT_EQ(vmd.boneKeys.size(), 3u);
}

// A pose is a one-key motion: the known bones take it at every frame, unknown names are ignored.
TEST_F(VpdReaderTest, PoseAppliesToAModelAsAOneKeyMotion) {
    PMXFile file;
    const std::vector<uint8_t> pmd = TestSupport::WritePmd(TestSupport::MakeEveryVariantPmd());
    ASSERT_TRUE(ReadPMDFile(file, std::span<const uint8_t>(pmd)));
    auto model = std::make_shared<PMXModel>();
    ASSERT_TRUE(model->Load(std::move(file), u"pose.pmd"));
    VMDFile vmd;
    ASSERT_TRUE(Read(kPose, vmd));
    VMDModelAnimation motion;
    ASSERT_TRUE(motion.Bind(model) && motion.AddMotion(vmd));
    const auto& nodes = model->GetNodeManager().GetNodes();
    for (float frame : {0.0f, 40.0f}) {
        ModelFrame{model.get(), &motion, frame, 1.0f, PhysicsStep::Skip, 0.0f, false}.Run();
        // センター rests at (0, 8, 0); the pose moves it by (0, 1.5, -2.25) in the file, z mirrored.
        const Math::vec3 centre = nodes[0]->GetGlobalTransform().Translation();
        EXPECT_NEAR(centre.y, 9.5f, 1e-5f);
        EXPECT_NEAR(centre.z, 2.25f, 1e-5f);
        // The arm turned: its elbow left the rest place.
        const Math::vec3 elbow = nodes[11]->GetGlobalTransform().Translation();
        EXPECT_GT(std::abs(elbow.z) + std::abs(elbow.y - (12.0f + 1.5f)), 0.1f);
    }
}

}  // namespace
