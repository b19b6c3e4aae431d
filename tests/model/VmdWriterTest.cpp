// The VMD writer that generators use: every section comes back from the reader as written, names
// go in as Shift_JIS cut at a character boundary, and the curve helpers put each control point
// where the motion and camera evaluations read it.
#include "model/io/VmdWriter.h"

#include <gtest/gtest.h>

#include <memory>

#include "model/io/VmdReader.h"
#include "model/motion/BezierCurve.h"
#include "model/motion/CameraAnimation.h"
#include "model/motion/VMDModelAnimation.h"
#include "tests/model/ModelTestRigs.h"

using namespace Vesma;

namespace {

VMDFile EverySection() {
    VMDFile file;
    file.header = VmdSignature();
    file.modelName = VmdModelName(u"デモ人形");
    VMDMotionKey bone;
    bone.boneName = VmdBoneName(u"左足ＩＫ");
    bone.frame = 42;
    bone.translation = {1.5f, -2.0f, 3.25f};
    bone.rotation = {0.1f, 0.2f, 0.3f, 0.927362f};
    bone.interpolation = VmdBoneCurves(10, 20, 100, 110);
    file.boneKeys = {bone, bone};
    file.boneKeys[1].frame = 7;
    VMDMorphKey morph;
    morph.morphName = VmdBoneName(u"まばたき");
    morph.frame = 3;
    morph.weight = 0.75f;
    file.morphKeys = {morph};
    VMDCameraKey camera;
    camera.frame = 9;
    camera.distance = -40.0f;
    camera.interest = {0, 10, -8};
    camera.rotation = {-0.1f, 0.4f, 0.0f};
    camera.interpolation = VmdCameraCurves(30, 40, 90, 100);
    camera.viewAngle = 35;
    camera.perspective = 1;
    file.cameraKeys = {camera};
    file.lightKeys = {{5, {0.6f, 0.6f, 0.6f}, {-0.5f, -1.0f, 0.5f}}};
    file.shadowKeys = {{6, 1, 0.02f}};
    VMDIKKey ik;
    ik.frame = 0;
    ik.show = 1;
    VMDIKInfo info;
    info.name = VmdIKName(u"右つま先ＩＫ");
    info.enable = 1;
    ik.ikInfos = {info, info};
    ik.ikInfos[1].enable = 0;
    file.ikKeys = {ik};
    return file;
}

TEST(VmdWriter, ReaderGetsBackEverySection) {
    const VMDFile written = EverySection();
    const std::vector<uint8_t> bytes = WriteVmd(written);
    EXPECT_EQ(bytes.size(), 50u + 4 + 2 * 111 + 4 + 23 + 4 + 61 + 4 + 28 + 4 + 9 + 4 + (4 + 1 + 4 + 2 * 21));
    VMDFile read;
    ASSERT_TRUE(ReadVMDFile(read, bytes));
    EXPECT_EQ(read.header, written.header);
    EXPECT_EQ(read.modelName, written.modelName);
    ASSERT_EQ(read.boneKeys.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(read.boneKeys[i].boneName, written.boneKeys[i].boneName);
        EXPECT_EQ(read.boneKeys[i].frame, written.boneKeys[i].frame);
        EXPECT_EQ(read.boneKeys[i].translation, written.boneKeys[i].translation);
        EXPECT_EQ(read.boneKeys[i].rotation, written.boneKeys[i].rotation);
        EXPECT_EQ(read.boneKeys[i].interpolation, written.boneKeys[i].interpolation);
    }
    EXPECT_EQ(DecodeVMDName(read.boneKeys[0].boneName), u"左足ＩＫ");
    ASSERT_EQ(read.morphKeys.size(), 1u);
    EXPECT_EQ(DecodeVMDName(read.morphKeys[0].morphName), u"まばたき");
    EXPECT_EQ(read.morphKeys[0].weight, 0.75f);
    ASSERT_EQ(read.cameraKeys.size(), 1u);
    EXPECT_EQ(read.cameraKeys[0].distance, -40.0f);
    EXPECT_EQ(read.cameraKeys[0].interest, written.cameraKeys[0].interest);
    EXPECT_EQ(read.cameraKeys[0].rotation, written.cameraKeys[0].rotation);
    EXPECT_EQ(read.cameraKeys[0].interpolation, written.cameraKeys[0].interpolation);
    EXPECT_EQ(read.cameraKeys[0].viewAngle, 35u);
    EXPECT_EQ(read.cameraKeys[0].perspective, 1);
    ASSERT_EQ(read.lightKeys.size(), 1u);
    EXPECT_EQ(read.lightKeys[0].position, written.lightKeys[0].position);
    ASSERT_EQ(read.shadowKeys.size(), 1u);
    EXPECT_EQ(read.shadowKeys[0].distance, 0.02f);
    ASSERT_EQ(read.ikKeys.size(), 1u);
    ASSERT_EQ(read.ikKeys[0].ikInfos.size(), 2u);
    EXPECT_EQ(DecodeVMDName(read.ikKeys[0].ikInfos[0].name), u"右つま先ＩＫ");
    EXPECT_EQ(read.ikKeys[0].ikInfos[0].enable, 1);
    EXPECT_EQ(read.ikKeys[0].ikInfos[1].enable, 0);
}

TEST(VmdWriter, NamesAreCutAtACharacterBoundary) {
    // Eight two-byte characters are 16 bytes: the 15-byte field keeps seven, never half of one.
    const auto bone = VmdBoneName(u"あいうえおかきく");
    EXPECT_EQ(DecodeVMDName(bone), u"あいうえおかき");
    EXPECT_EQ(bone[14], 0);
    EXPECT_EQ(bone[15], 0);
    // Mixed widths fill the field exactly when they fit.
    EXPECT_EQ(DecodeVMDName(VmdBoneName(u"abcdefghijklm左")), u"abcdefghijklm左");
    EXPECT_EQ(DecodeVMDName(VmdBoneName(u"abcdefghijklmn左")), u"abcdefghijklmn");
    // IK names hold 20 bytes, model names 20.
    EXPECT_EQ(DecodeVMDName(VmdIKName(u"あいうえおかきくけこさ")), u"あいうえおかきくけこ");
    EXPECT_EQ(DecodeVMDName(VmdModelName(u"デモ人形")), u"デモ人形");
    // A name Shift_JIS cannot hold leaves the field empty rather than writing part of it.
    EXPECT_EQ(VmdBoneName(u"頭\u00E9"), (std::array<uint8_t, 16>{}));
}

TEST(VmdWriter, CurveHelpersPlaceTheControlPointsWhereTheyAreRead) {
    // Bone keys: the motion takes all four channels' curves from the helper's bytes.
    PMXFile rig;
    rig.bones.push_back(ModelRigs::Bone(u"bone", {0, 0, 0}, -1));
    const std::shared_ptr<PMXModel> model = ModelRigs::LoadModel(std::move(rig));
    ASSERT_TRUE(model);
    VMDModelAnimation motion;
    motion.Bind(model);
    VMDFile vmd;
    VMDMotionKey bone;
    bone.boneName = VmdBoneName(u"bone");
    bone.rotation = Math::quat::Identity();
    bone.interpolation = VmdBoneCurves(10, 20, 100, 110);
    vmd.boneKeys = {bone};
    motion.AddMotion(vmd);
    ASSERT_EQ(motion.GetNodeControllers().size(), 1u);
    const BoneKey& key0 = motion.GetNodeControllers()[0]->Keys().at(0);
    for (const BezierCurve& c : {key0.txBezier, key0.tyBezier, key0.tzBezier, key0.rotBezier}) {
        EXPECT_NEAR(c.x1, 10 / 127.0f, 1e-6f);
        EXPECT_NEAR(c.y1, 20 / 127.0f, 1e-6f);
        EXPECT_NEAR(c.x2, 100 / 127.0f, 1e-6f);
        EXPECT_NEAR(c.y2, 110 / 127.0f, 1e-6f);
    }
    // Camera keys keep x1, x2, y1, y2 in each group of four; every curve gets the same points.
    VMDCameraKey record;
    record.interpolation = VmdCameraCurves(30, 40, 90, 100);
    const CameraKey key = CameraAnimation::MakeKey(record);
    for (const BezierCurve& c : key.curves) {
        EXPECT_NEAR(c.x1, 30 / 127.0f, 1e-6f);
        EXPECT_NEAR(c.y1, 40 / 127.0f, 1e-6f);
        EXPECT_NEAR(c.x2, 90 / 127.0f, 1e-6f);
        EXPECT_NEAR(c.y2, 100 / 127.0f, 1e-6f);
    }
}

}  // namespace
