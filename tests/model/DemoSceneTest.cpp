// The generated demo scene, read back from the build tree's data folder with the same readers a
// user's files go through: every name the motions use reaches the model, the dance keeps the feet
// on the floor through the leg IK, the ponytail swings under physics, the camera keeps the dancer
// in view, and the music track is a well-formed WAV as long as the dance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/FileIO.h"
#include "core/TextConvert.h"
#include "model/ExtendedMaterial.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/io/PmxReader.h"
#include "model/io/VmdReader.h"
#include "model/motion/CameraAnimation.h"
#include "model/motion/VMDModelAnimation.h"

using namespace Vesma;
using Math::vec3;

namespace {

const std::filesystem::path kDemo = TAVRIN_DEMO_DIR;
constexpr float kSoleHeight = 1.2f;  // the ankle's height above the floor at rest

bool Finite(vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

class DemoScene : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReadPMXFile(file, kDemo / "mannequin.pmx"));
        PMXFile copy = file;
        model = std::make_shared<PMXModel>();
        ASSERT_TRUE(model->Load(std::move(copy), u"mannequin.pmx"));
        ASSERT_TRUE(ReadVMDFile(dance, kDemo / "dance.vmd"));
        motion.Bind(model);
        motion.AddMotion(dance);
    }

    int Node(std::u16string_view name) const { return model->GetNodeManager().FindNodeIndex(name); }
    vec3 At(int node) const { return model->GetNodeManager().GetNode(node)->GetGlobalTransform().Translation(); }

    ModelFrame Frame(float frame) {
        ModelFrame job;
        job.model = model.get();
        job.animation = &motion;
        job.frame = frame;
        job.physicsSeconds = 1.0f / 30.0f;
        return job;
    }

    PMXFile file;
    std::shared_ptr<PMXModel> model;
    VMDFile dance;
    VMDModelAnimation motion;
};

TEST_F(DemoScene, MannequinHasTheHumanoidBonesChainsAndMorphs) {
    for (const char16_t* name :
         {u"全ての親", u"センター", u"上半身", u"下半身", u"首", u"頭", u"左肩", u"右肩", u"左腕", u"右腕", u"左ひじ",
          u"右ひじ", u"左手首", u"右手首", u"左親指１", u"右人指３", u"左小指２", u"左足", u"右足", u"左ひざ", u"右ひざ",
          u"左足首", u"右足首", u"左足ＩＫ", u"右足ＩＫ", u"左つま先ＩＫ", u"右つま先ＩＫ", u"髪１", u"髪５"}) {
        EXPECT_GE(Node(name), 0) << Utf16ToUtf8(name);
    }
    // Leg IK: the ankle follows the controller through the knee (one axis, bending forwards
    // only) and the leg.
    for (const bool left : {true, false}) {
        const std::u16string s = left ? u"左" : u"右";
        const PMXBone& ik = file.bones[static_cast<size_t>(Node(s + u"足ＩＫ"))];
        ASSERT_TRUE(HasFlag(ik.boneFlag, PMXBoneFlags::IK));
        EXPECT_EQ(ik.ikTargetBoneIndex, Node(s + u"足首"));
        ASSERT_EQ(ik.ikLinks.size(), 2u);
        EXPECT_EQ(ik.ikLinks[0].ikBoneIndex, Node(s + u"ひざ"));
        EXPECT_TRUE(ik.ikLinks[0].enableLimit);
        EXPECT_NEAR(ik.ikLinks[0].limitMin.x, -Math::kPi, 1e-4f);
        EXPECT_LT(ik.ikLinks[0].limitMax.x, 0.0f);
        EXPECT_EQ(ik.ikLinks[0].limitMin.y, 0.0f);
        EXPECT_EQ(ik.ikLinks[0].limitMax.z, 0.0f);
        EXPECT_EQ(ik.ikLinks[1].ikBoneIndex, Node(s + u"足"));
        const PMXBone& toe = file.bones[static_cast<size_t>(Node(s + u"つま先ＩＫ"))];
        EXPECT_EQ(toe.parentBoneIndex, Node(s + u"足ＩＫ"));
        EXPECT_EQ(toe.ikTargetBoneIndex, Node(s + u"つま先"));
        ASSERT_EQ(toe.ikLinks.size(), 1u);
        EXPECT_EQ(toe.ikLinks[0].ikBoneIndex, Node(s + u"足首"));
    }
    // The ponytail: dynamic bodies on the hair bones, each hung from the one above by a joint.
    int dynamic = 0;
    for (const PMXRigidBody& body : file.rigidBodies) {
        if (body.op != PMXRigidBodyOperation::Dynamic) continue;
        ++dynamic;
        EXPECT_EQ(file.bones[static_cast<size_t>(body.boneIndex)].name.substr(0, 1), u"髪");
    }
    EXPECT_GE(dynamic, 3);
    EXPECT_EQ(file.joints.size(), static_cast<size_t>(dynamic));
    ASSERT_NE(model->GetPhysics(), nullptr);

    const MMDMorphManager& morphs = model->GetMorphManager();
    for (const char16_t* name : {u"あ", u"まばたき", u"照れ", u"笑顔"}) EXPECT_GE(morphs.FindMorphIndex(name), 0);
}

TEST_F(DemoScene, EveryNameTheDanceUsesReachesTheModel) {
    // A name written in the wrong encoding would decode to nothing and its keys would be lost.
    ASSERT_GT(dance.boneKeys.size(), 100u);
    for (const VMDMotionKey& key : dance.boneKeys) {
        const std::u16string name = DecodeVMDName(key.boneName);
        EXPECT_GE(Node(name), 0) << key.frame;
    }
    for (const VMDMorphKey& key : dance.morphKeys) {
        EXPECT_GE(model->GetMorphManager().FindMorphIndex(DecodeVMDName(key.morphName)), 0) << key.frame;
    }
    ASSERT_EQ(dance.ikKeys.size(), 1u);
    EXPECT_EQ(dance.ikKeys[0].ikInfos.size(), 4u);
    for (const VMDIKInfo& info : dance.ikKeys[0].ikInfos) {
        const int node = Node(DecodeVMDName(info.name));
        ASSERT_GE(node, 0);
        EXPECT_TRUE(HasFlag(file.bones[static_cast<size_t>(node)].boneFlag, PMXBoneFlags::IK));
    }
    // The feet are keyed (the dance steps with the IK, not with leg rotations) and the motion
    // lasts 8 to 12 seconds.
    int footKeys = 0;
    for (const VMDMotionKey& key : dance.boneKeys) {
        const std::u16string name = DecodeVMDName(key.boneName);
        footKeys += name == u"左足ＩＫ" || name == u"右足ＩＫ";
        EXPECT_NE(name, u"左足");
        EXPECT_NE(name, u"左ひざ");
    }
    EXPECT_GE(footKeys, 40);
    EXPECT_GE(motion.GetMaxKeyFrame(), 8 * 30);
    EXPECT_LE(motion.GetMaxKeyFrame(), 12 * 30);
}

TEST_F(DemoScene, DanceKeepsTheFeetOnTheFloorAndSwingsThePonytail) {
    const int ankles[2] = {Node(u"左足首"), Node(u"右足首")};
    const int iks[2] = {Node(u"左足ＩＫ"), Node(u"右足ＩＫ")};
    const int toes[2] = {Node(u"左つま先"), Node(u"右つま先")};
    const int knees[2] = {Node(u"左ひざ"), Node(u"右ひざ")};
    const int legs[2] = {Node(u"左足"), Node(u"右足")};
    const int head = Node(u"頭"), hairRoot = Node(u"髪１"), hairTip = Node(u"髪５");
    const int center = Node(u"センター");

    motion.WarmUpPhysics(0.0f);
    const vec3 restTip = At(hairTip) - At(hairRoot);
    const float chain = Math::Length(restTip);
    float lowestAnkle = 1e9f, highestAnkle = -1e9f, lowestToe = 1e9f, worstReach = 0.0f;
    float hairTravel = 0.0f;
    int plantedFrames = 0, kneesBackwards = 0;
    const int last = motion.GetMaxKeyFrame();
    for (int f = 0; f <= last; ++f) {
        Frame(static_cast<float>(f)).Run();
        for (int side = 0; side < 2; ++side) {
            const vec3 ankle = At(ankles[side]);
            ASSERT_TRUE(Finite(ankle)) << f;
            lowestAnkle = std::min(lowestAnkle, ankle.y);
            highestAnkle = std::max(highestAnkle, ankle.y);
            lowestToe = std::min(lowestToe, At(toes[side]).y);
            worstReach = std::max(worstReach, Math::Length(ankle - At(iks[side])));
            plantedFrames += std::fabs(ankle.y - kSoleHeight) < 0.05f;
            // The knee sits in front of the line from hip to ankle (model space faces +z).
            const vec3 hip = At(legs[side]), knee = At(knees[side]);
            const float t = (hip.y - knee.y) / (hip.y - ankle.y);
            const float lineZ = hip.z + (ankle.z - hip.z) * t;
            kneesBackwards += knee.z < lineZ - 0.01f;
        }
        // Ponytail: the tip hangs from the root, in the head's own frame it moves with the dance.
        const vec3 tip = At(hairTip), root = At(hairRoot);
        ASSERT_TRUE(Finite(tip)) << f;
        EXPECT_LT(Math::Length(tip - root), chain + 0.5f) << f;
        const Math::quat headTurn = Math::QuaternionFromMatrix(model->GetNodeManager().GetNode(head)->GetGlobalTransform());
        const vec3 local = Math::Rotate(tip - root, Math::Inverse(headTurn));
        hairTravel = std::max(hairTravel, Math::Length(local - restTip));
        // The dancer stays in front of the stage's shapes (model space z > 4).
        EXPECT_GT(At(center).z, 4.0f) << f;
    }
    for (const ModelVertex& v : model->GetOutputVertices()) ASSERT_TRUE(Finite(v.position));

    EXPECT_LT(worstReach, 0.05f) << "an ankle lost its IK controller";
    EXPECT_GT(lowestAnkle, kSoleHeight - 0.1f) << "a foot sank into the floor";
    EXPECT_GT(lowestToe, -0.1f);
    EXPECT_GT(highestAnkle, kSoleHeight + 1.0f) << "no foot ever lifted";
    EXPECT_GT(plantedFrames, last) << "the feet should be planted most of the time";
    EXPECT_EQ(kneesBackwards, 0);
    EXPECT_GT(hairTravel, 0.5f) << "the ponytail did not swing";
}

TEST_F(DemoScene, MorphsFollowTheDance) {
    const MMDMorphManager& morphs = model->GetMorphManager();
    const auto weight = [&](std::u16string_view name) {
        return morphs.GetMorph(morphs.FindMorphIndex(name))->GetWeight();
    };
    float mouth = 0.0f, blink = 0.0f;
    for (int f = 0; f <= motion.GetMaxKeyFrame(); ++f) {
        motion.Evaluate(static_cast<float>(f));
        mouth = std::max(mouth, weight(u"あ"));
        blink = std::max(blink, weight(u"まばたき"));
    }
    EXPECT_GT(mouth, 0.5f);
    EXPECT_GT(blink, 0.9f);
    EXPECT_GT(weight(u"笑顔"), 0.9f);  // the finale smiles
}

TEST(DemoSceneFiles, CameraKeepsTheDancerInView) {
    VMDFile file;
    ASSERT_TRUE(ReadVMDFile(file, kDemo / "camera.vmd"));
    CameraAnimation camera;
    ASSERT_TRUE(camera.Build(file));
    const int last = camera.Keys().back().frame;
    EXPECT_GE(last, 8 * 30);
    const vec3 dancer{0.0f, 10.0f, 8.0f};  // the dance's place in model space, chest high
    vec3 previousEye;
    int cuts = 0;
    for (int f = 0; f <= last; ++f) {
        camera.Evaluate(static_cast<float>(f));
        const CameraLookAt view = CameraAnimation::LookAt(camera.State());
        ASSERT_TRUE(Finite(view.eye) && Finite(view.lookAt) && Finite(view.up)) << f;
        EXPECT_GT(view.eye.y, 0.5f) << "camera under the floor at " << f;
        const vec3 forward = Math::Normalize(view.lookAt - view.eye);
        const vec3 toDancer = Math::Normalize(dancer - view.eye);
        const float angle = std::acos(std::clamp(Math::Dot(forward, toDancer), -1.0f, 1.0f));
        EXPECT_LT(angle, camera.State().fov * 0.5f) << "dancer out of the frame at " << f;
        if (f > 0 && Math::Length(view.eye - previousEye) > 5.0f) ++cuts;
        previousEye = view.eye;
    }
    EXPECT_EQ(cuts, 1);
}

TEST(DemoSceneFiles, MusicIsAWavAsLongAsTheDance) {
    const std::vector<uint8_t> wav = ReadWholeFile(kDemo / "music.wav");
    ASSERT_GE(wav.size(), 44u);
    const auto u32 = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, wav.data() + at, 4);
        return v;
    };
    const auto u16 = [&](size_t at) {
        uint16_t v;
        std::memcpy(&v, wav.data() + at, 2);
        return v;
    };
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(u32(4), wav.size() - 8);
    EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(u16(20), 1);  // PCM
    const uint16_t channels = u16(22);
    const uint32_t rate = u32(24);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
    ASSERT_EQ(u32(40), wav.size() - 44);
    const double seconds = static_cast<double>(u32(40)) / (rate * channels * 2.0);

    VMDFile dance;
    ASSERT_TRUE(ReadVMDFile(dance, kDemo / "dance.vmd"));
    uint32_t lastKey = 0;
    for (const VMDMotionKey& key : dance.boneKeys) lastKey = std::max(lastKey, key.frame);
    EXPECT_NEAR(seconds, lastKey / 30.0, 0.05);

    // Sound, not silence, and no clipping; the end has faded out.
    const size_t samples = (wav.size() - 44) / 2;
    const auto sample = [&](size_t i) { return static_cast<int16_t>(u16(44 + 2 * i)); };
    double energy = 0.0;
    int peak = 0;
    for (size_t i = 0; i < samples; ++i) {
        energy += static_cast<double>(sample(i)) * sample(i);
        peak = std::max(peak, std::abs(static_cast<int>(sample(i))));
    }
    EXPECT_GT(std::sqrt(energy / samples), 1000.0);
    EXPECT_LT(peak, 32767);
    EXPECT_LT(std::abs(static_cast<int>(sample(samples - 1))), 200);

    // On the dance's beat: every 15 motion frames a kick starts, so the 50 ms after each beat are
    // much louder than the 50 ms a tenth of a second before it.
    const auto loudness = [&](double from, double to) {
        const size_t first = static_cast<size_t>(from * rate) * channels;
        const size_t last = static_cast<size_t>(to * rate) * channels;
        double sum = 0.0;
        for (size_t i = first; i < last && i < samples; ++i) sum += static_cast<double>(sample(i)) * sample(i);
        return sum / static_cast<double>(last - first);
    };
    const double beatSeconds = 15.0 / 30.0;
    for (int beat = 1; beat + 1 < static_cast<int>(seconds / beatSeconds); ++beat) {
        const double t = beat * beatSeconds;
        EXPECT_GT(loudness(t, t + 0.05), 2.5 * loudness(t - 0.1, t - 0.05)) << "beat " << beat;
    }
}

TEST(DemoSceneFiles, StageIsTheSampleModel) {
    PMXFile stage;
    ASSERT_TRUE(ReadPMXFile(stage, kDemo / "stage.pmx"));
    PMXModel model;
    ASSERT_TRUE(model.Load(std::move(stage), u"stage.pmx"));
    PMXModel sample;
    ASSERT_TRUE(sample.Load(u"<Sample>"));
    EXPECT_EQ(model.GetOutputVertices().size(), sample.GetOutputVertices().size());
    EXPECT_EQ(model.GetIndices(), sample.GetIndices());
}

// The stage's extended materials name its own materials (a name that matched none would be
// silently ignored) and give the shapes the looks their names promise.
TEST(DemoSceneFiles, StageMaterialsNameTheStagesMaterials) {
    PMXFile stage;
    ASSERT_TRUE(ReadPMXFile(stage, kDemo / "stage.pmx"));
    ExtendedMaterialMap map;
    ReadExtendedMaterials(Utf8ToUtf16((kDemo / "stage.pmx").string()), map);
    EXPECT_EQ(map.Size(), stage.materials.size());
    for (const auto& [name, values] : map.Entries())
        EXPECT_TRUE(std::any_of(stage.materials.begin(), stage.materials.end(), [&](const PMXMaterial& m) { return m.name == name; }));
    const ExtendedMaterial* gold = map.Find(u"金属金");
    ASSERT_NE(gold, nullptr);
    EXPECT_EQ(gold->metallic, 1.0f);
    EXPECT_LT(gold->roughness, 0.5f);
}

}  // namespace
