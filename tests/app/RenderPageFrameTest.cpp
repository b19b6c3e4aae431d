// The render configuration page's controls of the post passes reach the frame: on the device,
// each switched on through its control adds its pass to the frame's pass log, and switched off
// again takes it out.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/RenderSettingsEditor.h"
#include "app/SettingsPages.h"
#include "core/WorkItem.h"
#include "renderer/SceneRenderer.h"
#include "tests/app/AppTestSupport.h"
#include "tests/engine/GpuTest.h"

namespace {

class RenderPageFrame : public TavrinTest::GpuTest {
protected:
    void SetUp() override {
        GpuTest::SetUp();
        if (IsSkipped()) return;
        AppTest::EnsureApp();
        Core().SetHeadlessOutput(64, 48);
        rig = std::make_unique<AppTest::PageRig>(TavrinApp::DeviceSupport::Supported, Engine::EngineCore::GetInstance());
        ASSERT_TRUE(rig->renderer().LoadScene({{u"<Sample>", u"<None>"}}));
        ASSERT_EQ(rig->renderer().WaitForSceneTask(), WorkStatus::Completed) << rig->renderer().SceneTaskError();
        rig->page().ToggleRenderConfig();
        auto* page = qobject_cast<TavrinApp::RenderConfigPage*>(rig->page().PanelPage());
        ASSERT_NE(page, nullptr);
        editor = page->Editor();
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override {
        rig.reset();
        GpuTest::TearDown();
    }

    template <class T>
    T* Find(const char* name) {
        auto* found = editor->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void Type(const char* name, const char* text) {
        if (QLineEdit* box = Find<QLineEdit>(name)) {
            box->setText(text);
            emit box->editingFinished();
        }
    }
    std::vector<std::string> PassesOfAFrame() {
        EXPECT_TRUE(rig->renderer().RenderOfflineFrame(30, 0).rendered);
        return rig->renderer().GetSceneRenderer()->GetPassLog().Names();
    }
    static bool Has(const std::vector<std::string>& names, const char* pass) {
        return std::find(names.begin(), names.end(), pass) != names.end();
    }

    std::unique_ptr<AppTest::PageRig> rig;
    TavrinApp::RenderSettingsEditor* editor = nullptr;
};

TEST_F(RenderPageFrame, PostPassControlsSwitchTheirPasses) {
    struct Control {
        const char* pass;
        std::function<void(bool)> set;
    };
    const Control controls[] = {
        {"SSAO", [&](bool on) { Find<QComboBox>("AO_Mode")->setCurrentIndex(on ? 1 : 0); }},
        {"VolumetricLight", [&](bool on) { Find<QCheckBox>("VolumetricLightEnable")->setChecked(on); }},
        {"FXAA",
         [&](bool on) {
             // FXAA is offered only while TAA is off.
             Find<QCheckBox>("TaaEnable")->setChecked(!on);
             Find<QCheckBox>("FxaaEnable")->setChecked(on);
         }},
        {"Soften", [&](bool on) { Type("SoftenStrength", on ? "0.5" : "0"); }},
        {"Sharpen", [&](bool on) { Type("SharpenAmount", on ? "25" : "0"); }},
        {"Vignette", [&](bool on) { Type("VignetteAmount", on ? "0.5" : "0"); }},
        {"MotionBlur", [&](bool on) { Type("MotionBlurLength", on ? "20" : "0"); }},
        {"DepthOfField", [&](bool on) { Find<QCheckBox>("DofEnable")->setChecked(on); }},
        {"LensFlare", [&](bool on) { Find<QCheckBox>("LensFlareEnable")->setChecked(on); }},
    };
    for (const Control& c : controls) {
        EXPECT_FALSE(Has(PassesOfAFrame(), c.pass)) << c.pass;
        c.set(true);
        EXPECT_TRUE(Has(PassesOfAFrame(), c.pass)) << c.pass;
        c.set(false);
        EXPECT_FALSE(Has(PassesOfAFrame(), c.pass)) << c.pass;
    }
    EXPECT_TRUE(editor->ErrorText().isEmpty()) << editor->ErrorText().toStdString();
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

}  // namespace
