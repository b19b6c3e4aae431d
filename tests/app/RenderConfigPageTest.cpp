// The render configuration page: typed values reach the renderer's settings whole, bad numbers
// are refused at their field, the page opens on the current values, the ray-traced modes are
// refused without ray tracing, and the anti-aliasing switches exclude each other.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <cmath>
#include <memory>
#include <string>

#include "app/PanelHost.h"
#include "app/RenderSettingsEditor.h"
#include "app/SettingsPages.h"
#include "core/MessageLog.h"
#include "renderer/FrameSteps.h"
#include "tests/app/AppTestSupport.h"

namespace {

using ProjectTavrin::FrameSettings;
using ProjectTavrin::SettingsExchange;
using TavrinApp::RenderSettingsEditor;

class RenderSettingsEditorTest : public testing::Test {
protected:
    RenderSettingsEditorTest() { AppTest::EnsureApp(); }

    std::unique_ptr<RenderSettingsEditor> MakeEditor(bool raytracing = false) {
        TavrinApp::RenderEditorServices services;
        services.raytracing = raytracing;
        return std::make_unique<RenderSettingsEditor>(settings, std::move(services));
    }

    static QLineEdit* Box(RenderSettingsEditor& editor, const char* name) {
        auto* box = editor.findChild<QLineEdit*>(name);
        EXPECT_NE(box, nullptr) << name;
        return box;
    }

    /// Types `text` into field `name` and finishes the edit as Return or a focus change would.
    static void Type(RenderSettingsEditor& editor, const char* name, const QString& text) {
        QLineEdit* box = Box(editor, name);
        if (!box) return;
        box->setText(text);
        emit box->editingFinished();
    }

    SettingsExchange settings;
};

TEST_F(RenderSettingsEditorTest, TypedValuesReachTheSettings) {
    auto editor = MakeEditor();
    const uint64_t before = settings.Revision();
    Type(*editor, "SunIntensity", "5.5");
    Type(*editor, "BloomStrength", " 0.75 ");
    Type(*editor, "SEA_HEIGHT", "1.25");
    Type(*editor, "AdaptationRate", "0.5");
    Type(*editor, "SunColor", "1, 0.5, 0.25");

    const FrameSettings now = settings.Snapshot();
    EXPECT_FLOAT_EQ(now.render.config.SunIntensity, 5.5f);
    EXPECT_FLOAT_EQ(now.post.BloomStrength, 0.75f);
    EXPECT_FLOAT_EQ(now.render.ocean.SEA_HEIGHT, 1.25f);
    EXPECT_FLOAT_EQ(now.post.AdaptationRate, 0.05f) << "the field is in tenths of the rate";
    EXPECT_FLOAT_EQ(now.render.config.SunColor.x, 1.0f);
    EXPECT_FLOAT_EQ(now.render.config.SunColor.y, 0.5f);
    EXPECT_FLOAT_EQ(now.render.config.SunColor.z, 0.25f);
    EXPECT_EQ(settings.Revision(), before + 5) << "one edit per accepted field";
    EXPECT_TRUE(editor->ErrorText().isEmpty());

    editor->findChild<QCheckBox*>("OceanEnable")->setChecked(true);
    EXPECT_TRUE(settings.Snapshot().render.OceanEnable);

    // The motion's light drives the sun unless switched off here (on by default).
    auto* fromMotion = editor->findChild<QCheckBox*>("SunFromMotion");
    ASSERT_NE(fromMotion, nullptr);
    EXPECT_EQ(fromMotion->text(), QStringLiteral("Sun from the motion"));
    EXPECT_TRUE(fromMotion->isChecked());
    fromMotion->setChecked(false);
    EXPECT_FALSE(settings.Snapshot().render.SunFromMotion);
}

TEST_F(RenderSettingsEditorTest, TheMaterialLookRowsWriteTheStyleAndTheOutline) {
    auto editor = MakeEditor();
    auto* style = editor->findChild<QComboBox*>("MaterialStyle");
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->currentIndex(), 0);
    style->setCurrentIndex(1);
    EXPECT_EQ(settings.Snapshot().render.MaterialStyle, Vesma::MaterialStyle::Classic);
    style->setCurrentIndex(0);
    EXPECT_EQ(settings.Snapshot().render.MaterialStyle, Vesma::MaterialStyle::PhysicallyBased);

    editor->findChild<QCheckBox*>("OutlineEnable")->setChecked(false);
    EXPECT_FALSE(settings.Snapshot().render.OutlineEnable);
    Type(*editor, "OutlineWidth", "3.5");
    EXPECT_FLOAT_EQ(settings.Snapshot().render.OutlineWidth, 3.5f);
    Type(*editor, "OutlineWidth", "-1");
    EXPECT_FLOAT_EQ(settings.Snapshot().render.OutlineWidth, 3.5f) << "a negative width is refused";
}

TEST_F(RenderSettingsEditorTest, RetypingTheHeldValueAfterARefusalClearsTheMarkAndTheMessage) {
    auto editor = MakeEditor();
    Type(*editor, "SunIntensity", "4");
    const uint64_t revision = settings.Revision();
    Type(*editor, "SunIntensity", "x");
    EXPECT_FALSE(editor->ErrorText().isEmpty());
    Type(*editor, "SunIntensity", "4");
    EXPECT_TRUE(editor->ErrorText().isEmpty());
    EXPECT_FALSE(Box(*editor, "SunIntensity")->property("badValue").toBool());
    EXPECT_EQ(settings.Revision(), revision) << "the value held is written no second time";
}

TEST_F(RenderSettingsEditorTest, BadNumbersAreRefusedAtTheirFieldAndChangeNothing) {
    auto editor = MakeEditor();
    const FrameSettings before = settings.Snapshot();
    const uint64_t revision = settings.Revision();

    Type(*editor, "SunIntensity", "abc");
    EXPECT_TRUE(editor->ErrorText().contains("not a number")) << editor->ErrorText().toStdString();
    EXPECT_TRUE(editor->ErrorText().contains("Sun intensity"));
    EXPECT_TRUE(Box(*editor, "SunIntensity")->property("badValue").toBool());

    for (const char* text : {"", "1.5.2", "nan", "inf", "1e999", "-1", "100.5"}) {
        Type(*editor, "SunIntensity", text);
        EXPECT_FALSE(editor->ErrorText().isEmpty()) << '"' << text << '"';
    }
    Type(*editor, "SunIntensity", "500");
    EXPECT_TRUE(editor->ErrorText().contains("between 0 and 100")) << editor->ErrorText().toStdString();

    for (const char* text : {"1, 2", "1, 0.5, 2", "a, b, c", "0.1, 0.2, 0.3, 0.4"}) {
        Type(*editor, "SEA_BASE", text);
        EXPECT_FALSE(editor->ErrorText().isEmpty()) << '"' << text << '"';
    }

    EXPECT_EQ(settings.Revision(), revision) << "a refused value writes nothing";
    const FrameSettings after = settings.Snapshot();
    EXPECT_EQ(after.render.config.SunIntensity, before.render.config.SunIntensity);
    EXPECT_EQ(after.render.ocean.SEA_BASE.x, before.render.ocean.SEA_BASE.x);

    Type(*editor, "SunIntensity", "3");
    EXPECT_TRUE(editor->ErrorText().isEmpty()) << "a good value clears the message";
    EXPECT_FALSE(Box(*editor, "SunIntensity")->property("badValue").toBool());
    EXPECT_FLOAT_EQ(settings.Snapshot().render.config.SunIntensity, 3.0f);
}

TEST_F(RenderSettingsEditorTest, OpensOnTheCurrentValues) {
    settings.Edit([](FrameSettings& s) {
        s.render.config.SunIntensity = 7.5f;
        s.render.config.AO_Mode = 1;
        s.render.TaaEnable = false;
        s.render.FxaaEnable = true;
        s.render.ocean.SEA_WATER_COLOR = {0.25f, 0.5f, 1.0f};
        s.post.AdaptationRate = 0.02f;
        s.post.DofAutoFocus = 0;
    });
    auto editor = MakeEditor();
    EXPECT_EQ(Box(*editor, "SunIntensity")->text(), "7.5");
    EXPECT_EQ(Box(*editor, "AdaptationRate")->text(), "0.2");
    EXPECT_EQ(Box(*editor, "SEA_WATER_COLOR")->text(), "0.25, 0.5, 1");
    EXPECT_EQ(editor->findChild<QComboBox*>("AO_Mode")->currentIndex(), 1);
    EXPECT_FALSE(editor->findChild<QCheckBox*>("TaaEnable")->isChecked());
    EXPECT_TRUE(editor->findChild<QCheckBox*>("FxaaEnable")->isChecked());
    EXPECT_TRUE(editor->findChild<QCheckBox*>("FxaaEnable")->isEnabled());
    EXPECT_EQ(editor->findChild<QComboBox*>("DofFocusMode")->currentIndex(), 1) << "manual focus";
    EXPECT_FALSE(editor->findChild<QWidget*>("manualFocusControls")->isHidden());
    EXPECT_FALSE(editor->findChild<QWidget*>("ssaoControls")->isHidden()) << "the screen-space AO controls";

    // Showing the values writes none of them back.
    EXPECT_FLOAT_EQ(settings.Snapshot().post.AdaptationRate, 0.02f);
}

TEST_F(RenderSettingsEditorTest, SunAnglesGiveTheDirectionAndTheFlarePosition) {
    auto editor = MakeEditor();
    Type(*editor, "SunAzimuth", "0");
    Type(*editor, "SunElevation", "0");
    FrameSettings now = settings.Snapshot();
    EXPECT_NEAR(now.render.config.SunDirection.x, 1.0f, 1e-6f);
    EXPECT_NEAR(now.render.config.SunDirection.y, 0.0f, 1e-6f);
    EXPECT_NEAR(now.render.config.SunDirection.z, 0.0f, 1e-6f);

    Type(*editor, "SunElevation", "1");
    now = settings.Snapshot();
    EXPECT_NEAR(now.render.config.SunDirection.x, 0.0f, 1e-5f);
    EXPECT_NEAR(now.render.config.SunDirection.y, 1.0f, 1e-6f);
    EXPECT_NEAR(now.post.LensFlareSunPosition.y, 10000.0f, 0.1f);

    // Azimuth a quarter turn with the sun halfway up: both angles are read together.
    Type(*editor, "SunAzimuth", "1.5707963");
    Type(*editor, "SunElevation", "0.5");
    now = settings.Snapshot();
    const float half = std::sqrt(0.5f);
    EXPECT_NEAR(now.render.config.SunDirection.x, 0.0f, 1e-5f);
    EXPECT_NEAR(now.render.config.SunDirection.y, half, 1e-5f);
    EXPECT_NEAR(now.render.config.SunDirection.z, half, 1e-5f);
    EXPECT_NEAR(now.post.LensFlareSunPosition.z, half * 10000.0f, 0.5f);
}

TEST_F(RenderSettingsEditorTest, RaytracedModesAreRefusedWithoutRaytracing) {
    settings.Edit([](FrameSettings& s) { s.render.config.AO_Mode = 1; });
    auto editor = MakeEditor(false);
    MessageLog::Instance().Clear();
    const uint64_t revision = settings.Revision();

    auto* ao = editor->findChild<QComboBox*>("AO_Mode");
    ao->setCurrentIndex(2);
    EXPECT_EQ(ao->currentIndex(), 1) << "the list goes back to the renderer's mode";
    EXPECT_EQ(settings.Snapshot().render.config.AO_Mode, 1);
    editor->findChild<QComboBox*>("SR_Mode")->setCurrentIndex(1);
    editor->findChild<QComboBox*>("GI_Mode")->setCurrentIndex(1);
    EXPECT_EQ(settings.Revision(), revision);
    const std::u16string log = MessageLog::Instance().TakeAll();
    const std::u16string message = u"No Vulkan ray tracing support found";
    size_t count = 0;
    for (size_t at = log.find(message); at != std::u16string::npos; at = log.find(message, at + 1)) ++count;
    EXPECT_EQ(count, 3u) << "once per refused choice";
    EXPECT_EQ(editor->ErrorText(), "No Vulkan ray tracing support found");

    // Modes without ray tracing still go through.
    editor->findChild<QComboBox*>("GI_Mode")->setCurrentIndex(2);
    ao->setCurrentIndex(0);
    EXPECT_EQ(settings.Snapshot().render.config.GI_Mode, 2);
    EXPECT_EQ(settings.Snapshot().render.config.AO_Mode, 0);
}

// The page's "Voxel GI" choice is what switches the voxel step on, and "Off" switches it off.
TEST_F(RenderSettingsEditorTest, VoxelChoiceTurnsTheVoxelStepOn) {
    auto editor = MakeEditor(false);
    auto* gi = editor->findChild<QComboBox*>("GI_Mode");
    ProjectTavrin::FrameResources voxelPass;
    voxelPass.voxelVolume = true;
    EXPECT_FALSE(ProjectTavrin::FrameStepWanted(ProjectTavrin::FrameStep::VoxelGi, settings.Snapshot(), voxelPass));
    gi->setCurrentIndex(2);
    EXPECT_TRUE(ProjectTavrin::FrameStepWanted(ProjectTavrin::FrameStep::VoxelGi, settings.Snapshot(), voxelPass));
    EXPECT_EQ(settings.Snapshot().render.config.GI_Enable, 1) << "the shaders' block follows the mode";
    gi->setCurrentIndex(0);
    EXPECT_FALSE(ProjectTavrin::FrameStepWanted(ProjectTavrin::FrameStep::VoxelGi, settings.Snapshot(), voxelPass));
}

TEST_F(RenderSettingsEditorTest, RaytracedModesAreTakenWithRaytracing) {
    auto editor = MakeEditor(true);
    editor->findChild<QComboBox*>("AO_Mode")->setCurrentIndex(2);
    editor->findChild<QComboBox*>("SR_Mode")->setCurrentIndex(1);
    EXPECT_EQ(settings.Snapshot().render.config.AO_Mode, 2);
    EXPECT_EQ(settings.Snapshot().render.config.SR_Mode, 1);
}

TEST_F(RenderSettingsEditorTest, TaaSwitchesFxaaOffAndLocksIt) {
    settings.Edit([](FrameSettings& s) {
        s.render.TaaEnable = false;
        s.render.FxaaEnable = true;
    });
    auto editor = MakeEditor();
    auto* taa = editor->findChild<QCheckBox*>("TaaEnable");
    auto* fxaa = editor->findChild<QCheckBox*>("FxaaEnable");

    taa->setChecked(true);
    EXPECT_TRUE(settings.Snapshot().render.TaaEnable);
    EXPECT_FALSE(settings.Snapshot().render.FxaaEnable);
    EXPECT_FALSE(fxaa->isChecked());
    EXPECT_FALSE(fxaa->isEnabled());

    taa->setChecked(false);
    EXPECT_TRUE(fxaa->isEnabled());
    fxaa->setChecked(true);
    EXPECT_TRUE(settings.Snapshot().render.FxaaEnable);
    EXPECT_FALSE(settings.Snapshot().render.TaaEnable);
}

TEST_F(RenderSettingsEditorTest, ResetRestoresDefaultsButKeepsTheExportSize) {
    auto editor = MakeEditor();
    Type(*editor, "Exposure", "4");
    settings.Edit([](FrameSettings& s) {
        s.render.ExportWidth = 1920;
        s.render.ExportHeight = 1080;
    });
    editor->ResetToDefaults();
    const FrameSettings now = settings.Snapshot();
    EXPECT_FLOAT_EQ(now.post.Exposure, ProjectTavrin::PostParams{}.Exposure);
    EXPECT_EQ(now.render.ExportWidth, 1920u);
    EXPECT_EQ(now.render.ExportHeight, 1080u);
    EXPECT_EQ(Box(*editor, "Exposure")->text(), "1");
}

struct SettingsHost : TavrinApp::PanelHost {
    SettingsExchange* settings = nullptr;
    void Stop() override {}
    void ShowLoadedState() override {}
    void ClosePanel() override {}
    SettingsExchange* SharedRenderSettings() override { return settings; }
};

TEST(RenderConfigPage, EditsTheHostsSettingsOrSaysThereAreNone) {
    AppTest::EnsureApp();
    SettingsExchange settings;
    settings.Edit([](FrameSettings& s) { s.post.BloomThreshold = 2.5f; });
    SettingsHost host;
    host.settings = &settings;
    {
        TavrinApp::RenderConfigPage page(host);
        ASSERT_NE(page.Editor(), nullptr);
        auto* threshold = page.findChild<QLineEdit*>("BloomThreshold");
        ASSERT_NE(threshold, nullptr);
        EXPECT_EQ(threshold->text(), "2.5");
        threshold->setText("0.8");
        emit threshold->editingFinished();
        EXPECT_FLOAT_EQ(settings.Snapshot().post.BloomThreshold, 0.8f);
    }
    host.settings = nullptr;
    TavrinApp::RenderConfigPage page(host);
    EXPECT_EQ(page.Editor(), nullptr);
    EXPECT_NE(page.findChild<QLabel*>("noDeviceText"), nullptr);
}

}  // namespace
