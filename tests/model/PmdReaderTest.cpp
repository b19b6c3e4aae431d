#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/MessageLog.h"
#include "core/ShiftJis.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/io/ModelFileReader.h"
#include "model/io/PmdReader.h"
#include "model/io/PmxReader.h"
#include "model/io/PmxWriter.h"
#include "model/io/VmdReader.h"
#include "model/motion/VMDModelAnimation.h"
#include "tests/support/PmdWriter.h"
#include "tests/support/VmdWriter.h"

using namespace Vesma;
using TestSupport::MakeEveryVariantPmd;
using TestSupport::PmdLayout;
using TestSupport::PmdModel;
using TestSupport::WritePmd;

namespace {

constexpr float kDegree = 0.017453292f;

class PmdReaderTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }
    static std::u16string Log() { return MessageLog::Instance().Peek(); }
};

bool Read(std::span<const uint8_t> bytes, PMXFile& out) {
    MessageLog::Instance().Clear();
    return ReadPMDFile(out, bytes);
}

uint16_t Flag(PMXBoneFlags f) { return static_cast<uint16_t>(f); }

size_t CountMessages(const std::u16string& log) {
    size_t n = 0;
    for (size_t at = log.find(u"\r\n"); at != std::u16string::npos; at = log.find(u"\r\n", at + 2)) ++n;
    return n;
}

std::shared_ptr<PMXModel> Build(PMXFile file) {
    auto model = std::make_shared<PMXModel>();
    EXPECT_TRUE(model->Load(std::move(file), u"test.pmd"));
    return model;
}

TEST_F(PmdReaderTest, EverySectionBecomesThePmxRecord) {
    const std::vector<uint8_t> bytes = WritePmd(MakeEveryVariantPmd());
    PMXFile f;
    ASSERT_TRUE(Read(bytes, f)) << std::string(Log().begin(), Log().end());
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(f.modelName, u"全種類テスト");
    EXPECT_EQ(f.comment, u"PMD の全ての節\r\n二行目");
    EXPECT_EQ(f.englishModelName, u"Every kind");
    EXPECT_EQ(f.englishComment, u"Every section");

    // Vertices: two bones, the first's share in percent, the edge flag inverted into a scale.
    ASSERT_EQ(f.vertices.size(), 6u);
    EXPECT_EQ(f.vertices[1].weightType, PMXVertexWeight::BDEF2);
    EXPECT_EQ(f.vertices[1].boneIndices[0], 2);
    EXPECT_EQ(f.vertices[1].boneIndices[1], 3);
    EXPECT_FLOAT_EQ(f.vertices[1].boneWeights[0], 0.75f);
    EXPECT_EQ(f.vertices[1].edgeScale, 0.0f);
    EXPECT_EQ(f.vertices[0].edgeScale, 1.0f);
    EXPECT_EQ(f.vertices[1].position, Math::vec3(1, 4, 0));
    EXPECT_EQ(f.vertices[1].uv, Math::vec2(0.25f, 0.5f));
    ASSERT_EQ(f.faces.size(), 3u);
    EXPECT_EQ(f.faces[2].vertices, (std::array<uint32_t, 3>{5, 4, 0}));

    // Materials: "texture*sphere" split, a lone ".spa" is an added sphere; toon 0 is the shared
    // toon01.bmp, toon 3 is the model's own file, 0xFF no toon.
    ASSERT_EQ(f.materials.size(), 3u);
    ASSERT_EQ(f.textures.size(), 5u);
    const PMXMaterial& skin = f.materials[0];
    EXPECT_EQ(f.textures[skin.textureIndex], u"tex/肌.bmp");
    EXPECT_EQ(skin.sphereTextureIndex, -1);
    EXPECT_EQ(skin.toonMode, PMXToonMode::Common);
    EXPECT_EQ(skin.toonTextureIndex, 0);
    EXPECT_EQ(skin.numFaceVertices, 3);
    EXPECT_TRUE(skin.drawMode & static_cast<uint8_t>(PMXDrawModeFlags::DrawEdge));
    EXPECT_FALSE(skin.drawMode & static_cast<uint8_t>(PMXDrawModeFlags::BothFace));
    const PMXMaterial& cloth = f.materials[1];
    EXPECT_EQ(f.textures[cloth.textureIndex], u"tex/服.bmp");
    EXPECT_EQ(f.textures[cloth.sphereTextureIndex], u"光.sph");
    EXPECT_EQ(cloth.sphereMode, PMXSphereMode::Multiply);
    EXPECT_EQ(cloth.toonMode, PMXToonMode::Separate);
    EXPECT_EQ(f.textures[cloth.toonTextureIndex], u"my_toon.bmp");
    EXPECT_FALSE(cloth.drawMode & static_cast<uint8_t>(PMXDrawModeFlags::DrawEdge));
    EXPECT_TRUE(cloth.drawMode & static_cast<uint8_t>(PMXDrawModeFlags::BothFace));
    EXPECT_FLOAT_EQ(cloth.diffuse.w, 0.5f);
    const PMXMaterial& metal = f.materials[2];
    EXPECT_EQ(metal.textureIndex, -1);
    EXPECT_EQ(f.textures[metal.sphereTextureIndex], u"金属.spa");
    EXPECT_EQ(metal.sphereMode, PMXSphereMode::Add);
    EXPECT_EQ(metal.toonTextureIndex, -1);
    EXPECT_EQ(metal.specular, Math::vec3(0.5f, 0.5f, 0.5f));

    // Bones by kind.
    ASSERT_EQ(f.bones.size(), 16u);
    EXPECT_EQ(f.bones[0].parentBoneIndex, -1);
    EXPECT_EQ(f.bones[0].englishName, u"center");
    EXPECT_TRUE(f.bones[0].boneFlag & Flag(PMXBoneFlags::AllowTranslate));
    EXPECT_FALSE(f.bones[1].boneFlag & Flag(PMXBoneFlags::AllowTranslate));
    EXPECT_EQ(f.bones[1].linkBoneIndex, 2);
    EXPECT_EQ(f.bones[3].linkBoneIndex, -1);
    const PMXBone& legIk = f.bones[4];
    ASSERT_TRUE(legIk.boneFlag & Flag(PMXBoneFlags::IK));
    EXPECT_TRUE(legIk.boneFlag & Flag(PMXBoneFlags::AllowTranslate));
    EXPECT_EQ(legIk.ikTargetBoneIndex, 3);
    EXPECT_EQ(legIk.ikIterationCount, 40);
    EXPECT_FLOAT_EQ(legIk.ikLimit, 2.0f);
    ASSERT_EQ(legIk.ikLinks.size(), 2u);
    EXPECT_EQ(legIk.ikLinks[0].ikBoneIndex, 2);
    EXPECT_EQ(legIk.ikLinks[0].enableLimit, 1) << "the knee bends one way";
    EXPECT_FLOAT_EQ(legIk.ikLinks[0].limitMin.x, -180 * kDegree);
    EXPECT_FLOAT_EQ(legIk.ikLinks[0].limitMax.x, -0.5f * kDegree);
    EXPECT_EQ(legIk.ikLinks[1].enableLimit, 0) << "the thigh is free";
    EXPECT_EQ(f.bones[8].ikLinks.at(0).enableLimit, 1);
    const PMXBone& twist = f.bones[10];
    ASSERT_TRUE(twist.boneFlag & Flag(PMXBoneFlags::FixedAxis));
    const float s = 1.0f / std::sqrt(8.0f);
    EXPECT_NEAR(twist.fixedAxis.x, 2 * s, 1e-6f);
    EXPECT_NEAR(twist.fixedAxis.y, -2 * s, 1e-6f);
    EXPECT_EQ(twist.fixedAxis.z, 0.0f);
    const PMXBone& eye = f.bones[12];
    ASSERT_TRUE(eye.boneFlag & Flag(PMXBoneFlags::AppendRotate));
    EXPECT_EQ(eye.appendBoneIndex, 9);
    EXPECT_EQ(eye.appendWeight, 1.0f);
    EXPECT_GT(eye.deformDepth, legIk.deformDepth) << "follows after IK";
    const PMXBone& follow = f.bones[13];
    ASSERT_TRUE(follow.boneFlag & Flag(PMXBoneFlags::AppendRotate));
    EXPECT_EQ(follow.appendBoneIndex, 11);
    EXPECT_FLOAT_EQ(follow.appendWeight, 0.5f);
    EXPECT_FALSE(f.bones[14].boneFlag & Flag(PMXBoneFlags::Visible));
    EXPECT_FALSE(f.bones[15].boneFlag & Flag(PMXBoneFlags::Visible));
    EXPECT_FALSE(f.bones[15].boneFlag & Flag(PMXBoneFlags::AllowControl));
    EXPECT_TRUE(f.bones[1].boneFlag & Flag(PMXBoneFlags::Visible));

    // Morphs: no base; the others move the base list's vertices; a place past it is dropped.
    ASSERT_EQ(f.morphs.size(), 3u);
    const PMXMorph& blink = f.morphs[0];
    EXPECT_EQ(blink.name, u"まばたき");
    EXPECT_EQ(blink.englishName, u"blink");
    EXPECT_EQ(blink.morphType, PMXMorphType::Position);
    EXPECT_EQ(blink.controlPanel, 2);
    ASSERT_EQ(blink.positionMorph.size(), 2u);
    EXPECT_EQ(blink.positionMorph[0].vertexIndex, 0);
    EXPECT_EQ(blink.positionMorph[1].vertexIndex, 2);
    EXPECT_EQ(blink.positionMorph[1].position, Math::vec3(0, 0.25f, 0));
    EXPECT_EQ(f.morphs[1].positionMorph.at(0).vertexIndex, 4);
    ASSERT_EQ(f.morphs[2].positionMorph.size(), 1u);
    EXPECT_EQ(f.morphs[2].positionMorph[0].vertexIndex, 2);

    // Display frames: root, expressions (the base dropped), then the named groups.
    ASSERT_EQ(f.displayFrames.size(), 4u);
    EXPECT_EQ(f.displayFrames[0].targets.size(), 1u);
    ASSERT_EQ(f.displayFrames[1].targets.size(), 3u);
    EXPECT_EQ(f.displayFrames[1].targets[0].type, PMXDisplayFrameTargetType::MorphIndex);
    EXPECT_EQ(f.displayFrames[1].targets[2].index, 2);
    EXPECT_EQ(f.displayFrames[2].name, u"足");
    EXPECT_EQ(f.displayFrames[2].englishName, u"Legs");
    EXPECT_EQ(f.displayFrames[2].targets.size(), 2u);
    EXPECT_EQ(f.displayFrames[3].targets.size(), 2u);

    // Bodies are placed relative to their bone (bone 0 without one); joints as stored.
    ASSERT_EQ(f.rigidBodies.size(), 3u);
    EXPECT_EQ(f.rigidBodies[0].translate, Math::vec3(0, 9, 0));
    EXPECT_EQ(f.rigidBodies[0].collisionGroup, 0xFFFE);
    EXPECT_EQ(f.rigidBodies[1].boneIndex, -1);
    EXPECT_EQ(f.rigidBodies[1].translate, Math::vec3(0, 10, 0));
    EXPECT_EQ(f.rigidBodies[2].translate, Math::vec3(2.5f, 14.5f, 0));
    EXPECT_EQ(f.rigidBodies[2].op, PMXRigidBodyOperation::Dynamic);
    EXPECT_EQ(f.rigidBodies[2].shape, PMXRigidBodyShape::Capsule);
    ASSERT_EQ(f.joints.size(), 1u);
    EXPECT_EQ(f.joints[0].rigidbodyBIndex, 2);
    EXPECT_EQ(f.joints[0].springRotateFactor, Math::vec3(10, 10, 10));
    EXPECT_TRUE(f.buffer.empty());

    // The record is a valid PMX record: it writes and reads back unchanged.
    PMXFile again;
    ASSERT_TRUE(ReadPMXFile(again, WritePmx(f)));
    EXPECT_TRUE(again.bones == f.bones);
    EXPECT_TRUE(again.materials == f.materials);
    EXPECT_TRUE(again.morphs == f.morphs);
    EXPECT_TRUE(again.rigidBodies == f.rigidBodies);
}

TEST_F(PmdReaderTest, OptionalSectionsMayBeAbsent) {
    PmdModel m = MakeEveryVariantPmd();
    m.hasEnglish = m.hasToonList = m.hasPhysics = false;
    PMXFile f;
    ASSERT_TRUE(Read(WritePmd(m), f));
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(f.englishModelName.empty());
    EXPECT_TRUE(f.rigidBodies.empty());
    // Without a toon list every toon number is a shared toon.
    EXPECT_EQ(f.materials[1].toonMode, PMXToonMode::Common);
    EXPECT_EQ(f.materials[1].toonTextureIndex, 3);
}

// Every cut either fails with one message (inside the required sections) or reads the model so
// far with one message (inside an optional one); nothing past the cut is invented.
TEST_F(PmdReaderTest, EveryCutGivesOneMessage) {
    PmdLayout layout;
    const std::vector<uint8_t> bytes = WritePmd(MakeEveryVariantPmd(), &layout);
    for (size_t size = 0; size < bytes.size(); ++size) {
        PMXFile f;
        const bool ok = Read(std::span(bytes.data(), size), f);
        const std::u16string log = Log();
        // A cut right between optional sections is a file that ends there: no message.
        const bool between = size == layout.english || size == layout.toons || size == layout.bodies || size == layout.joints;
        EXPECT_EQ(CountMessages(log), between ? 0u : 1u) << "cut at " << size;
        if (size < layout.english) {
            EXPECT_FALSE(ok) << "cut at " << size;
        } else {
            EXPECT_TRUE(ok) << "cut at " << size;
            EXPECT_EQ(f.bones.size(), 16u);
            EXPECT_EQ(f.morphs.size(), 3u);
            if (size < layout.joints) {
                EXPECT_TRUE(f.joints.empty()) << "cut at " << size;
            }
            if (size < layout.toons) {
                EXPECT_TRUE(f.englishModelName.empty()) << "cut at " << size;
            }
        }
        if (size < layout.vertices) {
            EXPECT_EQ(log, u"PMD ReadHeader Fail.\r\n") << "cut at " << size;
        } else if (size >= layout.bones + 2 && size < layout.iks) {
            EXPECT_EQ(log, u"PMD ReadBone Fail.\r\n") << "cut at " << size;
        }
    }
}

TEST_F(PmdReaderTest, HostileCountsFailTheirSectionWithoutHugeLists) {
    PmdLayout layout;
    const std::vector<uint8_t> good = WritePmd(MakeEveryVariantPmd(), &layout);
    struct Case {
        size_t offset;
        size_t width;
        const char16_t* message;
    };
    const Case cases[] = {
        {layout.vertices, 4, u"PMD ReadVertex Fail.\r\n"}, {layout.faces, 4, u"PMD ReadFace Fail.\r\n"},
        {layout.materials, 4, u"PMD ReadMaterial Fail.\r\n"}, {layout.bones, 2, u"PMD ReadBone Fail.\r\n"},
        {layout.iks, 2, u"PMD ReadIK Fail.\r\n"}, {layout.morphs, 2, u"PMD ReadMorph Fail.\r\n"},
        {layout.displayLists + 2 * 4 + 1 + 1 + 50 * 2, 4, u"PMD ReadDisplayFrame Fail.\r\n"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        std::memset(bytes.data() + c.offset, 0xFF, c.width);
        PMXFile f;
        EXPECT_FALSE(Read(bytes, f));
        EXPECT_EQ(Log(), c.message);
    }
    // A hostile morph entry count (nested) fails the morph section too.
    std::vector<uint8_t> bytes = good;
    std::memset(bytes.data() + layout.morphs + 2 + 20, 0xFF, 4);
    PMXFile f;
    EXPECT_FALSE(Read(bytes, f));
    EXPECT_EQ(Log(), u"PMD ReadMorph Fail.\r\n");
    // Hostile body and joint counts leave physics out and keep the model.
    for (size_t offset : {layout.bodies, layout.joints}) {
        bytes = good;
        std::memset(bytes.data() + offset, 0xFF, 4);
        ASSERT_TRUE(Read(bytes, f));
        EXPECT_TRUE(f.rigidBodies.empty());
        EXPECT_TRUE(f.joints.empty());
        EXPECT_EQ(CountMessages(Log()), 1u);
        EXPECT_EQ(f.bones.size(), 16u);
    }
}

TEST_F(PmdReaderTest, OtherSignaturesAreRefusedAndTheDispatcherPicksTheReader) {
    std::vector<uint8_t> bytes = WritePmd(MakeEveryVariantPmd());
    bytes[2] = 'x';
    PMXFile f;
    EXPECT_FALSE(Read(bytes, f));
    EXPECT_EQ(Log(), u"PMD ReadHeader Fail.\r\n");

    const std::vector<uint8_t> pmd = WritePmd(MakeEveryVariantPmd());
    EXPECT_EQ(DetectModelFileFormat(pmd, u"model.pmx"), ModelFileFormat::PMD) << "the signature wins";
    EXPECT_EQ(DetectModelFileFormat(bytes, u"model.PMD"), ModelFileFormat::PMD);
    EXPECT_EQ(DetectModelFileFormat(bytes, u"model.pmx"), ModelFileFormat::PMX);
    EXPECT_TRUE(IsModelFileName(u"a/b.PmD"));
    EXPECT_FALSE(IsModelFileName(u"a/b.vmd"));
    MessageLog::Instance().Clear();
    ASSERT_TRUE(ReadModelFile(f, std::vector<uint8_t>(pmd), u"whatever"));
    EXPECT_EQ(f.bones.size(), 16u);
}

// The same motion on the PMD and on the same model written as PMX poses every bone and vertex
// identically: the PMD record needs no path of its own.
TEST_F(PmdReaderTest, PmdAndItsPmxPoseIdentically) {
    PMXFile fromPmd;
    ASSERT_TRUE(Read(WritePmd(MakeEveryVariantPmd()), fromPmd));
    PMXFile fromPmx;
    ASSERT_TRUE(ReadPMXFile(fromPmx, WritePmx(fromPmd)));

    TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature();
    const auto key = [](const char16_t* bone, uint32_t frame, Math::vec3 t, Math::quat r) {
        return TestSupport::MakeBoneKey(EncodeShiftJisName(bone), frame, t, r);
    };
    content.boneKeys = {key(u"左足ＩＫ", 0, {0, 0, 0}, Math::quat::Identity()),
                        key(u"左足ＩＫ", 30, {0, 4, -2}, Math::quat::Identity()),
                        key(u"左腕", 30, {}, Math::QuaternionRotationAxis({0, 0, 1}, 0.6f)),
                        key(u"左ひじ", 30, {}, Math::QuaternionRotationAxis({0, 1, 0}, 0.8f)),
                        key(u"左腕捩", 30, {}, Math::QuaternionRotationAxis({0, 1, 0}, 0.4f)),
                        key(u"センター", 30, {0.5f, 1, 0}, Math::quat::Identity())};
    content.morphKeys = {TestSupport::MakeMorphKey(EncodeShiftJisName(u"まばたき"), 30, 1.0f)};
    VMDFile vmd;
    ASSERT_TRUE(ReadVMDFile(vmd, TestSupport::WriteVmd(content).bytes));

    std::shared_ptr<PMXModel> a = Build(std::move(fromPmd));
    std::shared_ptr<PMXModel> b = Build(std::move(fromPmx));
    VMDModelAnimation motionA, motionB;
    ASSERT_TRUE(motionA.Bind(a) && motionA.AddMotion(vmd));
    ASSERT_TRUE(motionB.Bind(b) && motionB.AddMotion(vmd));
    for (float frame : {0.0f, 12.5f, 30.0f}) {
        ModelFrame jobA{a.get(), &motionA, frame, 1.0f, PhysicsStep::Skip, 0.0f, true};
        ModelFrame jobB{b.get(), &motionB, frame, 1.0f, PhysicsStep::Skip, 0.0f, true};
        jobA.Run();
        jobB.Run();
        const auto& nodesA = a->GetNodeManager().GetNodes();
        const auto& nodesB = b->GetNodeManager().GetNodes();
        ASSERT_EQ(nodesA.size(), nodesB.size());
        for (size_t i = 0; i < nodesA.size(); ++i) {
            EXPECT_EQ(0, std::memcmp(&nodesA[i]->GetGlobalTransform(), &nodesB[i]->GetGlobalTransform(), sizeof(Math::mat4)))
                << "bone " << i << " at frame " << frame;
        }
        ASSERT_EQ(a->GetOutputVertices().size(), b->GetOutputVertices().size());
        for (size_t i = 0; i < a->GetOutputVertices().size(); ++i)
            EXPECT_EQ(0, std::memcmp(&a->GetOutputVertices()[i], &b->GetOutputVertices()[i], sizeof(a->GetOutputVertices()[i])));
    }
    // The motion did move things: the arm turned the eye bone that follows it.
    const auto& nodes = a->GetNodeManager().GetNodes();
    EXPECT_GT(std::abs(nodes[12]->GetGlobalTransform().m[0][1]), 0.3f);
}

// The knee bends forwards (towards -z in the file, +z in the model) for a foot target in front of
// and behind the leg: the limit never lets it fold backwards.
TEST_F(PmdReaderTest, KneeChainBendsOnlyForwards) {
    for (float targetZ : {-2.0f, 0.0f, 2.0f}) {
        PMXFile file;
        ASSERT_TRUE(Read(WritePmd(MakeEveryVariantPmd()), file));
        std::shared_ptr<PMXModel> model = Build(std::move(file));
        TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature();
        content.boneKeys = {TestSupport::MakeBoneKey(EncodeShiftJisName(u"左足ＩＫ"), 0, {0, 4, targetZ})};
        VMDFile vmd;
        ASSERT_TRUE(ReadVMDFile(vmd, TestSupport::WriteVmd(content).bytes));
        VMDModelAnimation motion;
        ASSERT_TRUE(motion.Bind(model) && motion.AddMotion(vmd));
        ModelFrame{model.get(), &motion, 0.0f, 1.0f, PhysicsStep::Skip, 0.0f, false}.Run();
        const auto& nodes = model->GetNodeManager().GetNodes();
        const Math::vec3 hip = nodes[1]->GetGlobalTransform().Translation();
        const Math::vec3 knee = nodes[2]->GetGlobalTransform().Translation();
        const Math::vec3 ankle = nodes[3]->GetGlobalTransform().Translation();
        // The knee stands in front of the line from hip to ankle.
        const float t = (knee.y - hip.y) / (ankle.y - hip.y);
        const float lineZ = hip.z + (ankle.z - hip.z) * t;
        EXPECT_GT(knee.z, lineZ + 0.5f) << "target z " << targetZ;
        EXPECT_LT(ankle.y, 5.0f) << "the leg did bend (target z " << targetZ << ")";
    }
}

}  // namespace
