// The model configuration page on the engine object's own scene, without a device: a model file
// and its material file in a temporary folder, loaded as the scene, with the model's material
// blocks built as the GPU side builds them. Edits reach the blocks and the placement under the
// engine lock, saving writes a file the model library reads back to the same values, and reset
// then restore brings back what was loaded.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "app/ColourSwatchButton.h"
#include "app/ModelConfigPage.h"
#include "app/SceneModelTarget.h"
#include "core/MessageLog.h"
#include "model/ExtendedMaterial.h"
#include "model/io/PmxWriter.h"
#include "renderer/PMXModelGpu.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/PmxBuilders.h"

namespace {

using ProjectTavrin::MaterialBuffer;
using TavrinApp::ModelConfigPage;

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class SceneModelTargetTest : public testing::Test {
protected:
    SceneModelTargetTest() {
        const std::filesystem::path dir = rig.files.Dir();
        modelPath = dir / "dancer.pmx";
        const std::vector<uint8_t> pmx = Vesma::WritePmx(TestSupport::MakeEveryVariantPmx(Vesma::MakePmxHeader()));
        WriteFile(modelPath, std::string(pmx.begin(), pmx.end()));
        // The second material is skin with its own values; the first has a normal map beside its
        // diffuse texture (tex/肌.png).
        WriteFile(dir / "dancer.xml",
                  "<materials><material name=\"服\" shadingModel=\"Skin\" metallic=\"0.5\" "
                  "baseColorTint=\"255 128 0\"/></materials>");
        WriteFile(dir / "tex" / "肌_Normal.png", "");

        rig.renderer().LoadScene({{modelPath.u16string(), u"<None>"}, {u"<Sample>", u"<None>"}});
        EXPECT_EQ(rig.renderer().WaitForSceneTask(), WorkStatus::Completed);
        // Without a device the scene has no GPU sides; the material blocks need none.
        auto lock = rig.renderer().LockEngine();
        ProjectTavrin::Scene& scene = rig.renderer().GetScene();
        for (std::size_t i = 0; i < scene.ModelCount(); ++i)
            scene.modelGpus[i] = std::make_unique<ProjectTavrin::PMXModelGpu>(*scene.models[i]);
    }

    ModelConfigPage* OpenPage() {
        rig.page().ToggleModelConfig();
        auto* page = qobject_cast<ModelConfigPage*>(rig.page().PanelPage());
        if (page)
            page->SetColourPicker([this](QWidget*, const QColor&, const QString&) { return nextColour; });
        return page;
    }

    template <class T> static T* Child(QWidget& page, const QString& name) {
        T* child = page.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }

    static void Choose(QWidget& page, int model, int material) {
        Child<QComboBox>(page, "modelList")->setCurrentIndex(model + 1);
        Child<QListWidget>(page, "materialList")->setCurrentRow(material);
    }

    ProjectTavrin::PMXModelGpu& Gpu(std::size_t model) { return *rig.renderer().GetScene().modelGpus[model]; }
    Vesma::PMXModel& Model(std::size_t model) { return *rig.renderer().GetScene().models[model]; }

    AppTest::PageRig rig;
    std::filesystem::path modelPath;
    QColor nextColour;
};

TEST_F(SceneModelTargetTest, TheMainPageOpensThePageOnTheScenesModelsAndTheirLoadedValues) {
    ModelConfigPage* page = OpenPage();
    ASSERT_NE(page, nullptr);
    auto* models = Child<QComboBox>(*page, "modelList");
    ASSERT_EQ(models->count(), 3);
    EXPECT_EQ(models->itemText(0), "<Camera>");
    EXPECT_EQ(models->itemText(1), TavrinApp::ToQString(Model(0).GetModelName()));
    EXPECT_FALSE(models->itemText(2).isEmpty());

    Choose(*page, 0, 1);
    auto* materials = Child<QListWidget>(*page, "materialList");
    ASSERT_EQ(materials->count(), 3);
    EXPECT_EQ(materials->item(0)->text(), QString::fromUtf8("肌"));
    EXPECT_EQ(materials->item(1)->text(), QString::fromUtf8("服"));
    EXPECT_EQ(Child<QComboBox>(*page, "shadingModelList")->currentIndex(), 4) << "Skin";
    EXPECT_EQ(Child<QLineEdit>(*page, "metallicBox")->text(), "0.5");
    EXPECT_EQ(Child<TavrinApp::ColourSwatchButton>(*page, "baseColorTintButton")->SwatchColour(), QColor(255, 128, 0));

    Choose(*page, 0, 0);
    EXPECT_EQ(Child<QLabel>(*page, "normalMapText")->text(), "YES");
    EXPECT_EQ(Child<QLabel>(*page, "occlusionMapText")->text(), "NO");

    // The page toggles like the render settings page.
    rig.page().ToggleModelConfig();
    AppTest::ProcessEvents();
    EXPECT_EQ(qobject_cast<ModelConfigPage*>(rig.page().PanelPage()), nullptr);
}

TEST_F(SceneModelTargetTest, SavedValuesReadBackTheSame) {
    ModelConfigPage* page = OpenPage();
    ASSERT_NE(page, nullptr);
    Choose(*page, 0, 1);
    auto* metallic = Child<QLineEdit>(*page, "metallicBox");
    metallic->setText("0.25");
    emit metallic->editingFinished();
    auto* emission = Child<QLineEdit>(*page, "emissionBox");
    emission->setText("3.5");
    emit emission->editingFinished();
    nextColour = QColor(128, 64, 255);
    Child<TavrinApp::ColourSwatchButton>(*page, "subsurfaceColorButton")->click();
    Choose(*page, 0, 2);
    Child<QComboBox>(*page, "shadingModelList")->setCurrentIndex(7);  // Cloth
    EXPECT_EQ(rig.renderer().WaitForSceneTask(), WorkStatus::Completed);

    Child<QPushButton>(*page, "saveButton")->click();
    EXPECT_TRUE(page->StatusText().contains("dancer.xml")) << page->StatusText().toStdString();

    Vesma::ExtendedMaterialMap read;
    Vesma::ReadExtendedMaterials(modelPath.u16string(), read);
    const auto& names = Model(0).GetMaterials();
    const auto& blocks = Gpu(0).GetRenderMaterials();
    ASSERT_EQ(read.Size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const Vesma::ExtendedMaterial* got = read.Find(names[i].name);
        ASSERT_NE(got, nullptr) << i;
        const Vesma::ExtendedMaterial want = ProjectTavrin::ExtendedValuesOf(blocks[i]);
        EXPECT_EQ(got->shadingModel, want.shadingModel) << i;
        for (auto field : {&Vesma::ExtendedMaterial::metallic, &Vesma::ExtendedMaterial::roughness, &Vesma::ExtendedMaterial::emission,
                           &Vesma::ExtendedMaterial::subsurface, &Vesma::ExtendedMaterial::clearCoat, &Vesma::ExtendedMaterial::cloth})
            EXPECT_NEAR(got->*field, want.*field, 1e-6f) << i;
        for (auto colour : {&Vesma::ExtendedMaterial::baseColorTint, &Vesma::ExtendedMaterial::subsurfaceColor,
                            &Vesma::ExtendedMaterial::specularTint, &Vesma::ExtendedMaterial::clothFuzzColor}) {
            EXPECT_FLOAT_EQ((got->*colour).x, (want.*colour).x) << i;
            EXPECT_FLOAT_EQ((got->*colour).y, (want.*colour).y) << i;
            EXPECT_FLOAT_EQ((got->*colour).z, (want.*colour).z) << i;
        }
    }
    const Vesma::ExtendedMaterial& cloth = *read.Find(u"服");
    EXPECT_FLOAT_EQ(cloth.metallic, 0.25f);
    EXPECT_FLOAT_EQ(cloth.emission, 3.5f);
    EXPECT_FLOAT_EQ(cloth.subsurfaceColor.y, 64.0f / 255.0f);
    EXPECT_EQ(read.Find(u"無地")->shadingModel, 8u);

    // The sample model has no file to write.
    Child<QComboBox>(*page, "modelList")->setCurrentIndex(2);
    page->SaveMaterials();
    EXPECT_FALSE(page->StatusText().contains("dancer.xml"));
}

TEST_F(SceneModelTargetTest, ResetThenRestoreBringsBackTheLoadedBlock) {
    ModelConfigPage* page = OpenPage();
    ASSERT_NE(page, nullptr);
    Choose(*page, 0, 0);
    const MaterialBuffer loaded = Gpu(0).GetMaterials()[0];
    ASSERT_GE(loaded.normalTextureIndex, 0);
    page->ResetMaterial();
    const MaterialBuffer& reset = Gpu(0).GetRenderMaterials()[0];
    EXPECT_EQ(reset.normalTextureIndex, -1);
    EXPECT_EQ(reset.textureIndex, -1);
    EXPECT_EQ(reset.vertexCount, loaded.vertexCount) << "a reset material still draws its part of the mesh";
    EXPECT_EQ(Child<QLabel>(*page, "normalMapText")->text(), "NO");
    page->RestoreMaterial();
    EXPECT_EQ(std::memcmp(&Gpu(0).GetRenderMaterials()[0], &loaded, sizeof(MaterialBuffer)), 0);
    EXPECT_EQ(Child<QLabel>(*page, "normalMapText")->text(), "YES");
}

TEST_F(SceneModelTargetTest, RotationDegreesReachTheModelsPlacement) {
    ModelConfigPage* page = OpenPage();
    ASSERT_NE(page, nullptr);
    Child<QComboBox>(*page, "modelList")->setCurrentIndex(1);
    Child<QLineEdit>(*page, "rotationYBox")->setText("9");
    EXPECT_FLOAT_EQ(Model(0).GetPlacementRotation().y, 9.0f * 0.017453292f);
    Child<QLineEdit>(*page, "rotationYBox")->setText("90");
    EXPECT_FLOAT_EQ(Model(0).GetPlacementRotation().y, 90.0f * 0.017453292f);
    Child<QLineEdit>(*page, "translationXBox")->setText("1.5");
    EXPECT_FLOAT_EQ(Model(0).GetPlacementTranslation().x, 1.5f);
    Child<QLineEdit>(*page, "rotationYBox")->setText("ninety");
    EXPECT_FLOAT_EQ(Model(0).GetPlacementRotation().y, 90.0f * 0.017453292f);
    EXPECT_EQ(Model(1).GetPlacementRotation().y, 0.0f);
}

TEST_F(SceneModelTargetTest, EditsWaitForTheEngineLock) {
    TavrinApp::SceneModelTarget target(rig.renderer());
    std::atomic<bool> placed{false};
    std::atomic<bool> edited{false};
    std::thread writer;
    {
        auto frame = rig.renderer().LockEngine();
        writer = std::thread([&] {
            target.SetPlacement(0, {{0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 2.0f}});
            placed = true;
            target.EditMaterial(0, 1, [](MaterialBuffer& block) { block.metallic = 0.875f; });
            edited = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(placed.load()) << "a frame in progress holds the lock";
        EXPECT_FALSE(edited.load());
    }
    writer.join();
    EXPECT_TRUE(placed.load());
    EXPECT_FLOAT_EQ(Model(0).GetPlacementTranslation().z, 2.0f);
    EXPECT_FLOAT_EQ(Gpu(0).GetRenderMaterials()[1].metallic, 0.875f);
}

TEST_F(SceneModelTargetTest, OutOfRangeIndicesReadAndWriteNothing) {
    TavrinApp::SceneModelTarget target(rig.renderer());
    MaterialBuffer block;
    EXPECT_FALSE(target.ReadMaterial(2, 0, block));
    EXPECT_FALSE(target.ReadMaterial(0, 3, block));
    EXPECT_FALSE(target.EditMaterial(0, 3, [](MaterialBuffer&) { ADD_FAILURE() << "no such material"; }));
    target.ResetMaterial(5, 0);
    target.RestoreMaterial(0, 9);
    target.SetPlacement(7, {});
    TavrinApp::ModelPlacement placement;
    EXPECT_FALSE(target.ReadPlacement(2, placement));
    EXPECT_TRUE(target.MaterialFilePath(2).empty());
    EXPECT_TRUE(target.MaterialFilePath(1).empty()) << "the sample model has no material file";
    EXPECT_EQ(target.MaterialFilePath(0), rig.files.Dir() / "dancer.xml");
    EXPECT_FALSE(target.SaveMaterials(4));
    EXPECT_TRUE(target.MaterialNames(3).empty());
}

TEST_F(SceneModelTargetTest, TheRebuildRunsAsASceneTaskAndWaitsWhileAnotherRuns) {
    TavrinApp::SceneModelTarget target(rig.renderer());
    EXPECT_TRUE(target.RebuildRaytracingScene());
    EXPECT_EQ(rig.renderer().WaitForSceneTask(), WorkStatus::Completed);
    EXPECT_TRUE(rig.renderer().IsSceneReady());

    std::thread task;
    {
        // A scene task held up by a frame: the rebuild is not taken, and nothing is logged.
        auto frame = rig.renderer().LockEngine();
        ASSERT_TRUE(rig.renderer().RunSceneTask([] {}));
        while (rig.renderer().IsSceneReady()) std::this_thread::yield();
        MessageLog::Instance().Clear();
        EXPECT_FALSE(target.RebuildRaytracingScene());
        EXPECT_TRUE(MessageLog::Instance().TakeAll().empty());
    }
    EXPECT_EQ(rig.renderer().WaitForSceneTask(), WorkStatus::Completed);
    EXPECT_TRUE(target.RebuildRaytracingScene());
    EXPECT_EQ(rig.renderer().WaitForSceneTask(), WorkStatus::Completed);
}

}  // namespace
