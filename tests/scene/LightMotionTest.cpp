// Light and self-shadow keys driving the sun settings through playback and export, where they come
// from, and PMD models and VPD poses named in a scene.
#include <cmath>
#include <string>

#include "renderer/SettingsExchange.h"
#include "tests/scene/EngineFixture.h"
#include "tests/support/PmdWriter.h"

namespace {

using ProjectTavrin::FrameSettings;
using ProjectTavrin::PlaybackState;
using SceneTest::EngineTest;

constexpr char16_t kNone[] = u"<None>";
constexpr char16_t kCamera[] = u"<Camera>";

void ExpectVecNear(const Math::vec3& expected, const Math::vec3& actual, float tolerance = 1e-5f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

class LightMotionTest : public EngineTest {
protected:
    // A camera motion with light keys at 0 (red, straight down) and 30 (blue, along +x in the
    // file), and self-shadow keys: on at 0, off at 20, on again at 40.
    std::u16string CameraWithLight(const std::string& name) {
        TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature("camera");
        content.cameraKeys.push_back(TestSupport::MakeCameraKey(0, -40.0f, {0, 10, 0}));
        content.lightKeys = {{0, {1, 0, 0}, {0, -1, 0}}, {30, {0, 0, 1}, {1, 0, 0}}};
        content.shadowKeys = {{0, 1, 0.01f}, {20, 0, 0.03f}, {40, 2, 0.02f}};
        files.Write(name, TestSupport::WriteVmd(content).bytes);
        return files.Path(name);
    }
    // A body motion for the rig that also carries a light key of the given colour.
    std::u16string MotionWithLight(const std::string& name, Math::vec3 color) {
        TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature("rig");
        content.boneKeys.push_back(TestSupport::MakeBoneKey("root", 0, {0, 0, 0}));
        content.lightKeys = {{0, color, {0, -1, 0}}};
        files.Write(name, TestSupport::WriteVmd(content).bytes);
        return files.Path(name);
    }
    FrameSettings Settings() { return Engine().Settings().Snapshot(); }
    // Plays half a second (15 frames) in steps the clock takes whole.
    void PlayHalfSecond() {
        for (int i = 0; i < 5; ++i) Step(100);
    }
    const ProjectTavrin::UpdateReport& Last() { return Engine().GetLastUpdate(); }
};

TEST_F(LightMotionTest, SunFollowsLightAndShadowKeysDuringPlayback) {
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}, {kCamera, CameraWithLight("camera.vmd")}});
    ASSERT_NE(Engine().GetScene().lightMotion, nullptr);
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayHalfSecond();  // frame 15
    ASSERT_NEAR(Last().animationFrame, 15.0f, 1e-3f);
    EXPECT_TRUE(Last().lightMotionDrove);
    FrameSettings s = Settings();
    ExpectVecNear({0.5f, 0.0f, 0.5f}, s.render.config.SunColor);
    // Half way between down and +x, reversed towards the light, of unit length.
    ExpectVecNear({-std::sqrt(0.5f), std::sqrt(0.5f), 0.0f}, s.render.config.SunDirection);
    EXPECT_EQ(s.render.config.SunLightEnable, 1);
    EXPECT_NEAR(s.post.shadow.Distance, 250.0f, 1e-2f);

    PlayHalfSecond();  // frame 30: the second light key; shadows switched off since frame 20
    s = Settings();
    ExpectVecNear({0.0f, 0.0f, 1.0f}, s.render.config.SunColor);
    ExpectVecNear({-1.0f, 0.0f, 0.0f}, s.render.config.SunDirection);
    EXPECT_EQ(s.render.config.SunLightEnable, 0);
    EXPECT_EQ(s.post.voxel.EnableShadow, 0);
    EXPECT_FALSE(s.post.volumetric.UseShadow);

    PlayHalfSecond();  // frame 45: on again
    s = Settings();
    EXPECT_EQ(s.render.config.SunLightEnable, 1);
    EXPECT_EQ(s.post.voxel.EnableShadow, 1);
    EXPECT_TRUE(s.post.volumetric.UseShadow);
    EXPECT_NEAR(s.post.shadow.Distance, 200.0f, 1e-2f);

    // Switched off, the settings keep what the page writes.
    Engine().Settings().Edit([](FrameSettings& f) {
        f.render.SunFromMotion = false;
        f.render.config.SunColor = {0.25f, 0.25f, 0.25f};
    });
    Step(100);
    EXPECT_FALSE(Last().lightMotionDrove);
    ExpectVecNear({0.25f, 0.25f, 0.25f}, Settings().render.config.SunColor);
}

TEST_F(LightMotionTest, SunFollowsDuringExport) {
    Load({{files.Model("rig.pmx", u"rig"), kNone}, {kCamera, CameraWithLight("camera.vmd")}});
    Engine().BeginExport(64, 64);
    const ProjectTavrin::OfflineFrame frame = Engine().RenderOfflineFrame(60, 30);  // frame 15
    EXPECT_TRUE(frame.lightMotionDrove);
    ExpectVecNear({0.5f, 0.0f, 0.5f}, Settings().render.config.SunColor);
    Engine().RenderOfflineFrame(60, 50);  // frame 25: shadows off
    EXPECT_EQ(Settings().render.config.SunLightEnable, 0);
    Engine().EndExport();
}

TEST_F(LightMotionTest, CameraKeysWinOverModelKeysAndModelKeysServeAlone) {
    Load({{files.Model("rig.pmx", u"rig"), MotionWithLight("green.vmd", {0, 1, 0})},
          {kCamera, CameraWithLight("camera.vmd")}});
    Step(100);
    ExpectVecNear({1.0f, 0.0f, 0.0f}, Settings().render.config.SunColor);

    Load({{files.Model("rig.pmx", u"rig"), MotionWithLight("green.vmd", {0, 1, 0})},
          {files.Model("rig2.pmx", u"rig"), MotionWithLight("white.vmd", {1, 1, 1})}});
    Step(100);
    ExpectVecNear({0.0f, 1.0f, 0.0f}, Settings().render.config.SunColor);
    ASSERT_NE(Engine().GetScene().lightMotion, nullptr);
    EXPECT_TRUE(Engine().GetScene().lightMotion->selfShadow.Empty());
}

TEST_F(LightMotionTest, SceneWithoutLightKeysLeavesTheSettingsAlone) {
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}, {kCamera, files.CameraMotion("camera.vmd", -40)}});
    EXPECT_EQ(Engine().GetScene().lightMotion, nullptr);
    const uint64_t revision = Engine().Settings().Revision();
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    for (int i = 0; i < 5; ++i) Step(100);
    EXPECT_EQ(Engine().Settings().Revision(), revision);
    EXPECT_FALSE(Last().lightMotionDrove);
}

TEST_F(LightMotionTest, PmdModelsAndVpdPosesLoadInScenes) {
    files.Write("every.pmd", TestSupport::WritePmd(TestSupport::MakeEveryVariantPmd()));
    const std::string pose =
        "Vocaloid Pose Data file\r\n\r\nrig.osm;\r\n1;\r\n\r\nBone0{root\r\n  5.0,0.0,0.0;\r\n  0,0,0,1;\r\n}\r\n";
    files.Write("pose.vpd", std::vector<uint8_t>(pose.begin(), pose.end()));
    Load({{files.Path("every.pmd"), kNone}, {files.Model("rig.pmx", u"rig"), files.Path("pose.vpd")}});
    ASSERT_EQ(Engine().GetScene().models.size(), 2u);
    EXPECT_EQ(Engine().GetScene().models[0]->GetNodeManager().GetNodeCount(), 16u);
    ASSERT_NE(Engine().GetScene().motions[1], nullptr);
    Step(100);
    // The pose moves the root, and the vertex on it, 5 along x at every frame.
    EXPECT_NEAR(Engine().GetScene().models[1]->GetOutputVertices()[3].position.x, 7.0f, 1e-4f);
    EXPECT_FALSE(Contains(Log(), u"not a valid"));

    // A broken pose leaves its model without a motion and says which file and why.
    const std::string broken = "Vocaloid Pose Data file\nrig.osm;\n1;\nBone0{root\n0,5,0,0,0,0;\n0,0,0,1;\n}\n";
    files.Write("broken.vpd", std::vector<uint8_t>(broken.begin(), broken.end()));
    Load({{files.Model("rig.pmx", u"rig"), files.Path("broken.vpd")}});
    EXPECT_EQ(Engine().GetScene().motions[0], nullptr);
    EXPECT_TRUE(Contains(Log(), u"decimal commas"));
    EXPECT_TRUE(Contains(Log(), u"is not a valid VPD file"));
}

}  // namespace
