// The render configuration page's controls for the passes: the values reach the settings with
// their copies and conversions, groups are read together, the mode lists show their panels, the
// file lists fill from a search, and the resource-changing choices ask for their scene tasks.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <filesystem>
#include <memory>
#include <string>

#include "app/RenderSettingsEditor.h"
#include "app/ColourSwatchButton.h"
#include "app/ValueSlider.h"
#include "renderer/SettingNames.h"
#include "scene/MainRenderer.h"
#include "scene/RenderResourceTasks.h"
#include "tests/app/AppTestSupport.h"

namespace {

using ProjectTavrin::FrameSettings;
using ProjectTavrin::SettingsExchange;
using TavrinApp::RenderSettingsEditor;

class RenderPagePassesTest : public testing::Test {
protected:
    RenderPagePassesTest() { AppTest::EnsureApp(); }
    ~RenderPagePassesTest() override {
        editor.reset();
        if (renderer) renderer->WaitForSceneTask();
    }

    RenderSettingsEditor& Make(bool withTasks = false, ProjectTavrin::FileSearch search = {}) {
        TavrinApp::RenderEditorServices services;
        if (withTasks) {
            renderer = std::make_unique<ProjectTavrin::MainRenderer>(ProjectTavrin::MainRenderer::Options{});
            tasks = std::make_unique<ProjectTavrin::RenderResourceTasks>(*renderer);
            services.resources = tasks.get();
        }
        services.search = std::move(search);
        editor = std::make_unique<RenderSettingsEditor>(settings, std::move(services));
        return *editor;
    }

    template <class T>
    T* Find(const QString& name) {
        auto* found = editor->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    void Type(const QString& name, const QString& text) {
        QLineEdit* box = Find<QLineEdit>(name);
        if (!box) return;
        box->setText(text);
        emit box->editingFinished();
    }

    void Choose(const QString& list, int index) {
        if (QComboBox* found = Find<QComboBox>(list)) found->setCurrentIndex(index);
    }

    const ProjectTavrin::RenderResourceState& ResourcesAfterTask() {
        renderer->WaitForSceneTask();
        return renderer->GetResourceState();
    }

    FrameSettings Now() const { return settings.Snapshot(); }

    SettingsExchange settings;
    std::unique_ptr<ProjectTavrin::MainRenderer> renderer;
    std::unique_ptr<ProjectTavrin::RenderResourceTasks> tasks;
    std::unique_ptr<RenderSettingsEditor> editor;
};

TEST_F(RenderPagePassesTest, EveryControlStartsAtItsDefault) {
    Make();
    // Finishing an edit of every number and colour without changing it writes the defaults
    // back unchanged: each box showed its default and each mapping reads back what it wrote.
    // The sun's angles are left out, since they normalise the default direction (1, 1, 1).
    for (QLineEdit* box : editor->findChildren<QLineEdit*>()) {
        if (box->objectName() == "SunAzimuth" || box->objectName() == "SunElevation") continue;
        emit box->editingFinished();
        EXPECT_TRUE(editor->ErrorText().isEmpty()) << box->objectName().toStdString() << ": " << editor->ErrorText().toStdString();
    }
    const FrameSettings now = Now();
    const FrameSettings defaults;
    for (const std::string& name : ProjectTavrin::SettingNames())
        EXPECT_EQ(ProjectTavrin::SettingValue(now, name), ProjectTavrin::SettingValue(defaults, name)) << name;

    EXPECT_EQ(Find<QComboBox>("shadow.CascadeCount")->currentIndex(), 1) << "two cascades";
    EXPECT_EQ(Find<QComboBox>("voxel.Resolution")->currentIndex(), 0) << "96 voxels";
    EXPECT_EQ(Find<QComboBox>("probes.Count")->currentIndex(), 0) << "one probe volume";
    EXPECT_EQ(Find<QComboBox>("DofFocusMode")->currentIndex(), 0) << "auto focus";
    EXPECT_EQ(Find<QComboBox>("EnvironmentFile")->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>("ColorFilterLutFile")->currentIndex(), 0);
    // Sliders start where their numbers are.
    QSlider* rays = Find<QSlider>("rtao.NumSamplesSlider");
    EXPECT_EQ(rays->value(), 16);
}

TEST_F(RenderPagePassesTest, PassValuesReachTheSettings) {
    Make();
    Type("shadow.Distance", "300");
    Choose("shadow.CascadeCount", 3);
    Type("shadow.FilterSize", "42");
    Type("ssao.Accentuation", "0.25");
    Type("rtao.Distance", "75");
    Type("rtao.NumSamples", "32");
    Find<QCheckBox>("rtao.Denoise")->setChecked(false);
    Type("reflection.NumSamples", "4");
    Find<QCheckBox>("reflection.Temporal")->setChecked(true);
    Type("volumetric.Scattering", "0.5");
    Type("volumetric.NoiseVelocityZ", "-2");
    Type("voxel.ConeTracing2", "3.75");
    Type("GI_AO_Strength", "1.5");
    Type("TaaSpeedExponent", "4");
    Type("volumetric.LightColor", "1, 0.5, 0");

    const FrameSettings s = Now();
    EXPECT_FLOAT_EQ(s.post.shadow.Distance, 300.0f);
    EXPECT_EQ(s.post.shadow.CascadeCount, 4u);
    EXPECT_FLOAT_EQ(s.post.shadow.FilterSize, 42.0f);
    EXPECT_FLOAT_EQ(s.post.ssao.Accentuation, 0.25f);
    EXPECT_FLOAT_EQ(s.post.rtao.Distance, 75.0f);
    EXPECT_EQ(s.post.rtao.NumSamples, 32);
    EXPECT_FALSE(s.post.rtao.Denoise);
    EXPECT_TRUE(s.post.rtao.Temporal);
    EXPECT_EQ(s.post.reflection.NumSamples, 4);
    EXPECT_TRUE(s.post.reflection.Temporal);
    EXPECT_FLOAT_EQ(s.post.volumetric.Scattering, 0.5f);
    EXPECT_FLOAT_EQ(s.post.volumetric.NoiseVelocityZ, -2.0f);
    EXPECT_FLOAT_EQ(s.post.voxel.ConeTracing2, 3.0f) << "taken as a whole number";
    EXPECT_EQ(Find<QLineEdit>("voxel.ConeTracing2")->text(), "3");
    EXPECT_FLOAT_EQ(s.render.config.GI_AO_Strength, 1.5f);
    EXPECT_FLOAT_EQ(s.post.TaaSpeedExponent, 4.0f);
    EXPECT_FLOAT_EQ(s.post.volumetric.LightColor.y, 0.5f);
    EXPECT_TRUE(editor->ErrorText().isEmpty()) << editor->ErrorText().toStdString();

    Type("rtao.NumSamples", "0");
    EXPECT_TRUE(Find<QLineEdit>("rtao.NumSamples")->property("badValue").toBool());
    EXPECT_EQ(Now().post.rtao.NumSamples, 32) << "a refused count changes nothing";
}

TEST_F(RenderPagePassesTest, SunCopiesFollowTheSun) {
    Make();
    Type("SunAzimuth", "0");
    Type("SunElevation", "0");
    FrameSettings s = Now();
    for (const Math::vec3& copy : {s.render.config.SunDirection, s.post.shadow.SunDirection, s.post.voxel.SunDir}) {
        EXPECT_NEAR(copy.x, 1.0f, 1e-6f);
        EXPECT_NEAR(copy.y, 0.0f, 1e-6f);
    }
    EXPECT_NEAR(s.post.volumetric.LightDir.x, -1.0f, 1e-6f) << "the light travels away from the sun";
    EXPECT_NEAR(s.post.LensFlareSunPosition.x, 10000.0f, 0.01f);

    Type("SunColor", "1, 0.5, 0.25");
    Find<QCheckBox>("SunLightEnable")->setChecked(true);
    s = Now();
    EXPECT_FLOAT_EQ(s.post.voxel.SunColor.y, 0.5f);
    EXPECT_FLOAT_EQ(s.post.voxel.SunColor.z, 0.25f);
    EXPECT_EQ(s.post.voxel.EnableShadow, 1);
    EXPECT_TRUE(s.post.volumetric.UseShadow);
    EXPECT_EQ(Find<TavrinApp::ColourSwatchButton>("SunColorPick")->SwatchColour(), QColor(255, 128, 64));

    Find<QCheckBox>("SunLightEnable")->setChecked(false);
    EXPECT_EQ(Now().post.voxel.EnableShadow, 0);
    EXPECT_FALSE(Now().post.volumetric.UseShadow);
}

TEST_F(RenderPagePassesTest, GroupsWriteEveryValueTheyHold) {
    Make();
    // Values changed behind the page's back are written over by any change in their group...
    settings.Edit([](FrameSettings& s) {
        s.post.BloomThreshold = 9.0f;
        s.post.ssao.RejectionFalloff = 7.0f;
        s.post.volumetric.MaxRayLength = 5.0f;
        s.post.DofFNumber = 8.0f;
        s.post.shadow.Distance = 100.0f;
    });
    Type("TargetLuminance", "0.2");
    Type("rtao.Distance", "60");  // the screen-space pair shares the ray-traced six's group
    QSlider* noise = Find<QSlider>("volumetric.NoiseScaleSlider");
    noise->setValue(noise->maximum());
    Type("DofFocalLength", "0.1");

    const FrameSettings s = Now();
    EXPECT_FLOAT_EQ(s.post.TargetLuminance, 0.2f);
    EXPECT_FLOAT_EQ(s.post.BloomThreshold, 1.0f);
    EXPECT_FLOAT_EQ(s.post.ssao.RejectionFalloff, 1.5f);
    EXPECT_FLOAT_EQ(s.post.volumetric.NoiseScale, 1.0f);
    EXPECT_FLOAT_EQ(s.post.volumetric.MaxRayLength, 300.0f);
    EXPECT_FLOAT_EQ(s.post.DofFNumber, 1.4f);
    // ...and only by those: the shadow distance is a control of its own.
    EXPECT_FLOAT_EQ(s.post.shadow.Distance, 100.0f);
    EXPECT_EQ(Find<QLineEdit>("volumetric.NoiseScale")->text(), "1") << "the slider shows its value as a number";
}

TEST_F(RenderPagePassesTest, ConversionsOfThePage) {
    Make();
    // The adaptation slider runs from 0 to 10: its middle-of-the-first-tenth stop is 0.5.
    QSlider* rate = Find<QSlider>("AdaptationRateSlider");
    rate->setValue(TavrinApp::ValueSlider::kSliderSteps / 20);
    EXPECT_EQ(Find<QLineEdit>("AdaptationRate")->text(), "0.5");
    EXPECT_FLOAT_EQ(Now().post.AdaptationRate, 0.05f);

    Type("volumetric.HeightFog0", "2.5");
    Type("volumetric.HeightFog1", "2.5");
    EXPECT_FLOAT_EQ(Now().post.volumetric.HeightFog[0], -2.5f) << "the fifth slider is written negated";
    EXPECT_FLOAT_EQ(Now().post.volumetric.HeightFog[1], 2.5f);

    Choose("shadow.CascadeCount", 2);
    EXPECT_EQ(Now().post.shadow.CascadeCount, 3u);
    Choose("shadow.CascadeCount", -1);
    EXPECT_EQ(Now().post.shadow.CascadeCount, 1u) << "no selection draws one cascade";
}

TEST_F(RenderPagePassesTest, ModeListsShowTheirPanels) {
    TavrinApp::RenderEditorServices services;
    services.raytracing = true;
    editor = std::make_unique<RenderSettingsEditor>(settings, std::move(services));
    auto shown = [this](const char* panel) { return !Find<QWidget>(panel)->isHidden(); };
    EXPECT_FALSE(shown("probeControls") || shown("voxelControls") || shown("ssaoControls") || shown("rtaoControls") ||
                 shown("reflectionControls") || shown("manualFocusControls"));

    Choose("GI_Mode", 1);
    EXPECT_TRUE(shown("probeControls"));
    EXPECT_FALSE(shown("voxelControls"));
    Choose("GI_Mode", 2);
    EXPECT_FALSE(shown("probeControls"));
    EXPECT_TRUE(shown("voxelControls"));
    Choose("AO_Mode", 1);
    EXPECT_TRUE(shown("ssaoControls"));
    Choose("AO_Mode", 2);
    EXPECT_FALSE(shown("ssaoControls"));
    EXPECT_TRUE(shown("rtaoControls"));
    Choose("SR_Mode", 1);
    EXPECT_TRUE(shown("reflectionControls"));
    Choose("DofFocusMode", 1);
    EXPECT_TRUE(shown("manualFocusControls"));
    EXPECT_EQ(Now().post.DofAutoFocus, 0);
    Choose("DofFocusMode", 0);
    EXPECT_FALSE(shown("manualFocusControls"));
    EXPECT_EQ(Now().post.DofAutoFocus, 1);
    Choose("GI_Mode", 0);
    EXPECT_FALSE(shown("probeControls") || shown("voxelControls"));
}

TEST_F(RenderPagePassesTest, RefusedModeKeepsItsPanels) {
    Make();  // no ray tracing
    Choose("AO_Mode", 1);
    Choose("AO_Mode", 2);
    EXPECT_EQ(Find<QComboBox>("AO_Mode")->currentIndex(), 1);
    EXPECT_FALSE(Find<QWidget>("ssaoControls")->isHidden());
    EXPECT_TRUE(Find<QWidget>("rtaoControls")->isHidden());
}

TEST_F(RenderPagePassesTest, ColourFilterListKeepsTheTableAndTheStrength) {
    AppTest::FileFolder videos;
    const std::filesystem::path table = videos.Touch("grade.cube");
    Make(true, ProjectTavrin::DirectorySearch(videos.Dir()));
    QElapsedTimer waited;
    waited.start();
    while (!editor->FileListsFilled() && waited.elapsed() < 10000) AppTest::ProcessEvents();
    ASSERT_TRUE(editor->FileListsFilled());
    QComboBox* filters = Find<QComboBox>("ColorFilterLutFile");
    ASSERT_EQ(filters->count(), 3);

    Type("ColorFilterStrength", "0.6");
    Choose("ColorFilterLutFile", 2);
    EXPECT_FLOAT_EQ(Now().post.ColorFilterStrength, 0.6f);
    EXPECT_EQ(Now().post.ColorFilterLutFile, table.string());
    EXPECT_EQ(ResourcesAfterTask().colorFilterLutFile, table.string());
    EXPECT_EQ(renderer->GetResourceState().colorFilterLoads, 1u);

    Choose("ColorFilterLutFile", 0);
    EXPECT_FLOAT_EQ(Now().post.ColorFilterStrength, 0.0f);
    EXPECT_EQ(Now().post.ColorFilterLutFile, table.string()) << "the chosen table stays";
    EXPECT_EQ(ResourcesAfterTask().colorFilterLoads, 1u) << "<Disabled> loads nothing";
    EXPECT_EQ(renderer->GetResourceState().colorFilterLutFile, table.string());
    EXPECT_EQ(Find<QLineEdit>("ColorFilterStrength")->text(), "0.6") << "the slider keeps its strength";

    Choose("ColorFilterLutFile", 2);
    EXPECT_FLOAT_EQ(Now().post.ColorFilterStrength, 0.6f) << "choosing a file again restores the strength";
    EXPECT_EQ(ResourcesAfterTask().colorFilterLoads, 2u);

    Choose("ColorFilterLutFile", 1);
    EXPECT_EQ(Now().post.ColorFilterLutFile, "<Sample>");
    EXPECT_EQ(ResourcesAfterTask().colorFilterLutFile, "<Sample>");
}

TEST_F(RenderPagePassesTest, EnvironmentListSwitchesTheSkyAndLoadsTheChoice) {
    Make(true);
    Choose("EnvironmentFile", 1);
    EXPECT_EQ(Now().render.config.IBL_Enable, 1);
    EXPECT_EQ(Now().post.EnvironmentFile, "<Sample>");
    EXPECT_EQ(ResourcesAfterTask().environmentFile, "<Sample>");
    Choose("EnvironmentFile", 0);
    EXPECT_EQ(Now().render.config.IBL_Enable, 0);
    EXPECT_EQ(ResourcesAfterTask().environmentLoads, 1u) << "<Disabled> only switches the sky off";
}

TEST_F(RenderPagePassesTest, FileListsOfferTheFilesFoundUnderTheVideosFolder) {
    AppTest::FileFolder videos;
    std::filesystem::create_directories(videos.Dir() / "skies" / "night");
    const std::filesystem::path sky = videos.Touch("skies/night/stars.HDR");
    const std::filesystem::path dawn = videos.Touch("dawn.hdr");
    const std::filesystem::path grade = videos.Touch("skies/warm.cube");
    videos.Touch("notes.txt");
    videos.Touch("dawn.hdr.bak");
    Make(false, ProjectTavrin::DirectorySearch(videos.Dir()));
    QElapsedTimer waited;
    waited.start();
    while (!editor->FileListsFilled() && waited.elapsed() < 10000) AppTest::ProcessEvents();
    ASSERT_TRUE(editor->FileListsFilled());

    QComboBox* environments = Find<QComboBox>("EnvironmentFile");
    ASSERT_EQ(environments->count(), 4);
    EXPECT_EQ(environments->itemText(0), "<Disabled>");
    EXPECT_EQ(environments->itemText(1), "<Sample>");
    EXPECT_EQ(environments->itemText(2), "dawn.hdr");
    EXPECT_EQ(environments->itemData(2).toString().toStdString(), dawn.string());
    EXPECT_EQ(environments->itemText(3), "stars.HDR");
    EXPECT_EQ(environments->itemData(3).toString().toStdString(), sky.string());
    QComboBox* filters = Find<QComboBox>("ColorFilterLutFile");
    ASSERT_EQ(filters->count(), 3);
    EXPECT_EQ(filters->itemData(2).toString().toStdString(), grade.string());
    EXPECT_EQ(environments->currentIndex(), 0) << "filling the list chooses nothing";
    EXPECT_EQ(Now().render.config.IBL_Enable, 0);
}

TEST_F(RenderPagePassesTest, ReopenedPageShowsTheChosenFilesOnceFound) {
    AppTest::FileFolder videos;
    const std::filesystem::path sky = videos.Touch("dusk.hdr");
    const std::filesystem::path grade = videos.Touch("cold.cube");
    settings.Edit([&](FrameSettings& s) {
        s.render.config.IBL_Enable = 1;
        s.post.EnvironmentFile = sky.string();
        s.post.ColorFilterLutFile = grade.string();
        s.post.ColorFilterStrength = 0.5f;
    });
    Make(true, ProjectTavrin::DirectorySearch(videos.Dir()));
    QElapsedTimer waited;
    waited.start();
    while (!editor->FileListsFilled() && waited.elapsed() < 10000) AppTest::ProcessEvents();
    ASSERT_TRUE(editor->FileListsFilled());
    EXPECT_EQ(Find<QComboBox>("EnvironmentFile")->currentText(), "dusk.hdr");
    EXPECT_EQ(Find<QComboBox>("ColorFilterLutFile")->currentText(), "cold.cube");
    renderer->WaitForSceneTask();
    EXPECT_EQ(renderer->GetResourceState().colorFilterLoads, 0u) << "showing a choice loads nothing again";
    EXPECT_FLOAT_EQ(Now().post.ColorFilterStrength, 0.5f);
}

TEST_F(RenderPagePassesTest, VoxelAndProbeChangesAskForTheirTasks) {
    Make(true);
    Choose("voxel.Resolution", 2);
    EXPECT_EQ(Now().post.voxel.Resolution, 160);
    EXPECT_EQ(ResourcesAfterTask().voxelResolution, 160);
    EXPECT_EQ(renderer->GetResourceState().voxelRebuilds, 1u);
    Type("voxel.RegionSize", "1024");
    EXPECT_FLOAT_EQ(ResourcesAfterTask().voxelRegionSize, 1024.0f);
    EXPECT_EQ(renderer->GetResourceState().voxelRebuilds, 1u) << "a new extent alone remakes nothing";
    Choose("voxel.Resolution", -1);
    EXPECT_EQ(Now().post.voxel.Resolution, 160) << "no selection leaves the resolution";
    EXPECT_FALSE(Find<QSlider>("voxel.RegionSizeSlider")->hasTracking()) << "a drag asks for one task, on release";

    Type("probes.OriginY", "20");
    renderer->WaitForSceneTask();  // a request while a task runs is dropped
    Choose("probes.Count", 2);
    ProjectTavrin::ProbeVolumeParams probes = ResourcesAfterTask().probeVolumes;
    EXPECT_FLOAT_EQ(probes.Origin.y, 20.0f);
    EXPECT_EQ(probes.Count, 3u);
    EXPECT_FLOAT_EQ(probes.Size, 512.0f);
    EXPECT_FLOAT_EQ(probes.DistanceExponent, 10.0f);
    Choose("probes.Count", -1);
    EXPECT_EQ(ResourcesAfterTask().probeVolumes.Count, 1u);
    EXPECT_EQ(Now().post.probes.Count, 1u);
}

TEST_F(RenderPagePassesTest, ResetPutsTheResourcesBackToo) {
    Make(true);
    Choose("voxel.Resolution", 1);
    renderer->WaitForSceneTask();
    Choose("ColorFilterLutFile", 1);
    renderer->WaitForSceneTask();
    Choose("shadow.CascadeCount", 3);
    Type("volumetric.HeightFog0", "4");

    editor->ResetToDefaults();
    const ProjectTavrin::RenderResourceState& state = ResourcesAfterTask();
    EXPECT_EQ(state.voxelResolution, 96);
    EXPECT_EQ(state.colorFilterLutFile, "");
    EXPECT_EQ(Now().post.shadow.CascadeCount, 2u);
    EXPECT_EQ(Find<QComboBox>("shadow.CascadeCount")->currentIndex(), 1);
    EXPECT_EQ(Find<QComboBox>("voxel.Resolution")->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>("ColorFilterLutFile")->currentIndex(), 0);
    EXPECT_EQ(Find<QLineEdit>("volumetric.HeightFog0")->text(), "0");
}

}  // namespace
