// The model configuration page over a fake target: the lists, showing a material without writing
// it back, slider, typed and picked values, the shading-model list, the rebuild on a category
// change, the placement boxes, reset and restore.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/ColourSwatchButton.h"
#include "app/FieldMark.h"
#include "app/ModelConfigPage.h"
#include "app/ModelEditTarget.h"
#include "app/PanelHost.h"
#include "app/ShadingModelChoice.h"
#include "app/ValueSlider.h"
#include "tests/app/AppTestSupport.h"

namespace {

using ProjectTavrin::MaterialBuffer;
using TavrinApp::ModelConfigPage;
using TavrinApp::ModelEditTarget;
using TavrinApp::ModelPlacement;

/// The scene as plain lists; counts every call that changes something.
class FakeTarget : public ModelEditTarget {
public:
    struct Model {
        std::u16string name;
        std::vector<std::u16string> materialNames;
        std::vector<MaterialBuffer> loaded;
        std::vector<MaterialBuffer> render;
        ModelPlacement placement;
        std::filesystem::path file;
    };
    std::vector<Model> models;
    int edits = 0;
    int placements = 0;
    int rebuilds = 0;
    int refusedRebuilds = 0;
    int saves = 0;
    /// How many rebuild requests to refuse (as while another scene task runs) before accepting.
    int refuseRebuilds = 0;

    std::vector<std::u16string> ModelNames() const override {
        std::vector<std::u16string> names;
        for (const Model& m : models) names.push_back(m.name);
        return names;
    }
    std::vector<std::u16string> MaterialNames(std::size_t model) const override {
        return model < models.size() ? models[model].materialNames : std::vector<std::u16string>{};
    }
    bool ReadMaterial(std::size_t model, std::size_t material, MaterialBuffer& block) const override {
        if (!Has(model, material)) return false;
        block = models[model].render[material];
        return true;
    }
    bool EditMaterial(std::size_t model, std::size_t material, const std::function<void(MaterialBuffer&)>& edit) override {
        if (!Has(model, material)) return false;
        ++edits;
        edit(models[model].render[material]);
        return true;
    }
    void ResetMaterial(std::size_t model, std::size_t material) override {
        if (!Has(model, material)) return;
        MaterialBuffer& block = models[model].render[material];
        MaterialBuffer reset = ProjectTavrin::DefaultMaterialBuffer();
        reset.beginIndex = block.beginIndex;
        reset.vertexCount = block.vertexCount;
        block = reset;
    }
    void RestoreMaterial(std::size_t model, std::size_t material) override {
        if (Has(model, material)) models[model].render[material] = models[model].loaded[material];
    }
    std::filesystem::path MaterialFilePath(std::size_t model) const override {
        return model < models.size() ? models[model].file : std::filesystem::path();
    }
    bool SaveMaterials(std::size_t model) override {
        if (model >= models.size()) return false;
        ++saves;
        return true;
    }
    bool ReadPlacement(std::size_t model, ModelPlacement& placement) const override {
        if (model >= models.size()) return false;
        placement = models[model].placement;
        return true;
    }
    void SetPlacement(std::size_t model, const ModelPlacement& placement) override {
        if (model >= models.size()) return;
        ++placements;
        models[model].placement = placement;
    }
    bool RebuildRaytracingScene() override {
        if (refuseRebuilds > 0) {
            --refuseRebuilds;
            ++refusedRebuilds;
            return false;
        }
        ++rebuilds;
        return true;
    }

private:
    bool Has(std::size_t model, std::size_t material) const {
        return model < models.size() && material < models[model].render.size();
    }
};

struct FakeHost : TavrinApp::PanelHost {
    ModelEditTarget* target = nullptr;
    int closed = 0;
    void Stop() override {}
    void ShowLoadedState() override {}
    void ClosePanel() override { ++closed; }
    ModelEditTarget* EditableModels() override { return target; }
};

MaterialBuffer Block(uint32_t shadingModel, float metallic) {
    MaterialBuffer b = ProjectTavrin::DefaultMaterialBuffer();
    b.shadingModel = shadingModel;
    b.metallic = metallic;
    b.roughness = 0.3125f;
    b.emission = 2.5f;
    b.subsurface = 1.75f;
    b.baseColorTint = {0.5f, 1.0f, 0.25f};
    b.specularTint = {0.2f, 0.4f, 0.6f};
    b.normalTextureIndex = 4;
    b.occlusionTextureIndex = 5;
    b.textureIndex = 2;
    b.beginIndex = 30;
    b.vertexCount = 12;
    return b;
}

class ModelConfigPageTest : public testing::Test {
protected:
    ModelConfigPageTest() {
        AppTest::EnsureApp();
        FakeTarget::Model body;
        body.name = u"ミク";
        body.materialNames = {u"肌", u"服", u"髪"};
        body.loaded = {Block(3, 0.0f), Block(1, 0.75f), Block(5, 0.125f)};
        body.render = body.loaded;
        body.placement = {{0.0f, 0.5f, 0.0f}, {1.0f, 2.0f, 3.0f}};
        body.file = "/nonexistent/miku.xml";
        FakeTarget::Model stage;
        stage.name = u"Stage";
        stage.materialNames = {u"floor"};
        stage.loaded = {Block(1, 0.0f)};
        stage.render = stage.loaded;
        target.models = {body, stage};
        host.target = &target;
    }

    std::unique_ptr<ModelConfigPage> MakePage() {
        auto page = std::make_unique<ModelConfigPage>(host);
        page->SetColourPicker([this](QWidget*, const QColor& initial, const QString&) {
            pickerInitial = initial;
            return nextColour;
        });
        return page;
    }

    template <class T> static T* Child(QWidget& page, const QString& name) {
        T* child = page.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }

    /// Chooses scene model `model` (0 = the first model) and its material `material`.
    static void Choose(QWidget& page, int model, int material) {
        Child<QComboBox>(page, "modelList")->setCurrentIndex(model + 1);
        Child<QListWidget>(page, "materialList")->setCurrentRow(material);
    }

    /// Moves a slider as the user would, to a position other than where it stands.
    static void MoveSlider(QWidget& page, const char* name, int position) {
        QSlider* slider = Child<QSlider>(page, QString(name) + "Slider");
        ASSERT_NE(slider->value(), position);
        slider->setValue(position);
    }

    static void Type(QWidget& page, const QString& box, const QString& text) {
        QLineEdit* edit = Child<QLineEdit>(page, box);
        edit->setText(text);
        emit edit->editingFinished();
    }

    const MaterialBuffer& Render(std::size_t model, std::size_t material) const {
        return target.models[model].render[material];
    }

    FakeTarget target;
    FakeHost host;
    QColor nextColour;
    QColor pickerInitial;
};

// ---- the drop-down's tables ----

TEST(ShadingModelChoiceTest, ItemsAndValuesMapBothWays) {
    const uint32_t expected[TavrinApp::kShadingModelItemCount] = {0, 1, 11, 2, 3, 4, 6, 8};
    for (int i = 0; i < TavrinApp::kShadingModelItemCount; ++i) {
        EXPECT_EQ(TavrinApp::ShadingModelOfItem(i), expected[i]) << "item " << i;
        EXPECT_EQ(TavrinApp::ItemOfShadingModel(expected[i]), i) << "value " << expected[i];
        EXPECT_FALSE(TavrinApp::ShadingModelItemLabel(i).empty());
    }
    for (uint32_t unknown : {5u, 7u, 9u, 10u, 12u, 0xFFFFFFFFu})
        EXPECT_EQ(TavrinApp::ItemOfShadingModel(unknown), 1) << "value " << unknown << " shows as Default";
    EXPECT_EQ(TavrinApp::ShadingModelOfItem(-1), 1u);
    EXPECT_EQ(TavrinApp::ShadingModelOfItem(8), 1u);
}

TEST(ShadingModelChoiceTest, EachItemShowsItsControls) {
    using V = TavrinApp::MaterialControlVisibility;
    // metallic, emission, thickness, curvature, subsurface, subsurface colour, clear coat,
    // clear-coat roughness, cloth, cloth fuzz colour
    const V plain{true, true, false, false, false, false, false, false, false, false};
    const V expected[TavrinApp::kShadingModelItemCount] = {
        plain,                                                                   // None
        plain,                                                                   // Default
        {false, false, false, false, false, false, false, false, false, false},  // ThinTranslucent
        {true, true, true, true, true, true, false, false, false, false},        // Subsurface
        {true, true, false, true, true, true, false, false, false, false},       // Skin
        {true, true, false, false, false, false, true, true, false, false},      // ClearCoat
        {true, true, false, false, false, true, false, false, false, false},     // Foliage
        {true, true, false, false, false, false, false, false, true, true},      // Cloth
    };
    for (int i = 0; i < TavrinApp::kShadingModelItemCount; ++i) EXPECT_TRUE(TavrinApp::VisibilityOfItem(i) == expected[i]) << "item " << i;
}

TEST(ShadingModelChoiceTest, CategoriesAreNotDrawnTransparentAndOpaque) {
    using TavrinApp::MaterialCategory;
    EXPECT_EQ(TavrinApp::CategoryOfShadingModel(0), MaterialCategory::NotDrawn);
    EXPECT_EQ(TavrinApp::CategoryOfShadingModel(11), MaterialCategory::Transparent);
    for (uint32_t opaque : {1u, 2u, 3u, 4u, 5u, 6u, 8u, 10u}) EXPECT_EQ(TavrinApp::CategoryOfShadingModel(opaque), MaterialCategory::Opaque);
}

// ---- lists ----

TEST_F(ModelConfigPageTest, ListsTheCameraThenTheModelsAndTheChosenModelsMaterials) {
    auto page = MakePage();
    auto* models = Child<QComboBox>(*page, "modelList");
    auto* materials = Child<QListWidget>(*page, "materialList");
    ASSERT_EQ(models->count(), 3);
    EXPECT_EQ(models->itemText(0), "<Camera>");
    EXPECT_EQ(models->itemText(1), QString::fromUtf8("ミク"));
    EXPECT_EQ(models->itemText(2), "Stage");
    EXPECT_EQ(models->currentIndex(), 0);
    EXPECT_EQ(page->ChosenModel(), -1);
    EXPECT_EQ(materials->count(), 0);

    models->setCurrentIndex(1);
    ASSERT_EQ(materials->count(), 3);
    EXPECT_EQ(materials->item(1)->text(), QString::fromUtf8("服"));
    EXPECT_EQ(page->ChosenMaterial(), -1) << "no material is chosen for the user";
    EXPECT_FALSE(Child<QPushButton>(*page, "resetButton")->isEnabled()) << "the material controls wait for a material";

    models->setCurrentIndex(2);
    ASSERT_EQ(materials->count(), 1);
    EXPECT_EQ(materials->item(0)->text(), "floor");

    models->setCurrentIndex(0);
    EXPECT_EQ(materials->count(), 0) << "the camera has no materials";
    EXPECT_EQ(target.edits, 0);
    EXPECT_EQ(target.placements, 0) << "showing a placement writes nothing";
}

TEST_F(ModelConfigPageTest, WithoutAnEditTargetThePageSaysSoAndOffersNothing) {
    host.target = nullptr;
    ModelConfigPage page(host);
    EXPECT_NE(page.findChild<QLabel*>("noSceneText"), nullptr);
    EXPECT_EQ(page.findChild<QComboBox*>("modelList"), nullptr);
    page.SaveMaterials();
    page.ResetMaterial();
    EXPECT_EQ(page.ChosenModel(), -1);
}

// ---- showing a material ----

TEST_F(ModelConfigPageTest, ShowingAMaterialFillsTheControlsAndWritesNothingBack) {
    auto page = MakePage();
    Choose(*page, 0, 0);
    Choose(*page, 0, 1);
    Choose(*page, 0, 2);
    Choose(*page, 1, 0);
    Choose(*page, 0, 1);
    EXPECT_EQ(target.edits, 0) << "the controls change while a material is shown, but nothing is written";
    EXPECT_EQ(target.rebuilds, 0);

    auto* metallic = Child<TavrinApp::ValueSlider>(*page, "metallicRow");
    EXPECT_DOUBLE_EQ(metallic->Value(), 0.75);
    EXPECT_EQ(metallic->Slider()->value(), 750);
    EXPECT_EQ(metallic->Box()->text(), "0.75");
    auto* emission = Child<TavrinApp::ValueSlider>(*page, "emissionRow");
    EXPECT_EQ(emission->Box()->text(), "2.5");
    auto* tint = Child<TavrinApp::ColourSwatchButton>(*page, "baseColorTintButton");
    EXPECT_EQ(tint->SwatchColour(), QColor(127, 255, 63)) << "each channel x 255, truncated";
    EXPECT_EQ(Child<QLabel>(*page, "normalMapText")->text(), "YES");
    EXPECT_EQ(Child<QLabel>(*page, "occlusionMapText")->text(), "YES");
    EXPECT_EQ(Child<QLabel>(*page, "curvatureMapText")->text(), "NO");
    EXPECT_EQ(Child<QLabel>(*page, "thicknessMapText")->text(), "NO");
    EXPECT_EQ(Child<QComboBox>(*page, "shadingModelList")->currentIndex(), 1);
}

TEST_F(ModelConfigPageTest, ThePageShowsTheControlsOfTheChosenShadingModel) {
    auto page = MakePage();
    Choose(*page, 0, 0);  // Skin
    EXPECT_FALSE(Child<QWidget>(*page, "subsurfaceColorButton")->isHidden());
    EXPECT_FALSE(Child<QWidget>(*page, "curvatureRow")->isHidden());
    EXPECT_TRUE(Child<QWidget>(*page, "thicknessRow")->isHidden());
    EXPECT_TRUE(Child<QWidget>(*page, "clothFuzzColorButton")->isHidden());
    EXPECT_FALSE(Child<QWidget>(*page, "roughnessRow")->isHidden());

    Child<QComboBox>(*page, "shadingModelList")->setCurrentIndex(2);  // ThinTranslucent
    EXPECT_TRUE(Child<QWidget>(*page, "metallicRow")->isHidden());
    EXPECT_TRUE(Child<QWidget>(*page, "emissionRow")->isHidden());
    EXPECT_TRUE(Child<QWidget>(*page, "subsurfaceColorButton")->isHidden());
    EXPECT_FALSE(Child<QWidget>(*page, "specularTintButton")->isHidden());

    Choose(*page, 0, 1);  // Default: the list stands on another item again
    EXPECT_FALSE(Child<QWidget>(*page, "metallicRow")->isHidden());
    EXPECT_FALSE(Child<QWidget>(*page, "emissionRow")->isHidden());
}

// ---- writing ----

TEST_F(ModelConfigPageTest, ASliderMoveWritesEveryControlIntoTheChosenMaterial) {
    auto page = MakePage();
    Choose(*page, 0, 1);
    const MaterialBuffer before = Render(0, 1);
    MoveSlider(*page, "roughness", 500);
    EXPECT_EQ(target.edits, 1);
    const MaterialBuffer& after = Render(0, 1);
    EXPECT_FLOAT_EQ(after.roughness, 0.5f);
    EXPECT_EQ(Child<QLineEdit>(*page, "roughnessBox")->text(), "0.5");
    // The other values go back exactly as they were shown, not rounded to slider steps or to
    // the swatch's 8 bits.
    EXPECT_EQ(after.metallic, before.metallic);
    EXPECT_EQ(after.subsurface, before.subsurface);
    EXPECT_EQ(after.specularTint.x, before.specularTint.x);
    EXPECT_EQ(after.specularTint.y, before.specularTint.y);
    // What the page does not edit stays.
    EXPECT_EQ(after.textureIndex, 2);
    EXPECT_EQ(after.normalTextureIndex, 4);
    EXPECT_EQ(after.beginIndex, 30);
    EXPECT_EQ(after.vertexCount, 12);
    EXPECT_EQ(Render(0, 0).roughness, 0.3125f) << "only the chosen material changes";
}

TEST_F(ModelConfigPageTest, TheStyleListsWriteOneMaterialOrEveryMaterialOfTheModel) {
    using ProjectTavrin::MaterialStyleChoice;
    auto page = MakePage();
    Choose(*page, 0, 1);
    QComboBox* material = Child<QComboBox>(*page, "materialStyleList");
    QComboBox* model = Child<QComboBox>(*page, "modelStyleList");
    // Loaded blocks name no style: every material follows the render settings.
    EXPECT_EQ(material->currentIndex(), int(MaterialStyleChoice::FromSettings));
    EXPECT_EQ(model->currentIndex(), int(MaterialStyleChoice::FromSettings));

    material->setCurrentIndex(int(MaterialStyleChoice::Classic));
    EXPECT_EQ(Render(0, 1).materialStyle, uint32_t(MaterialStyleChoice::Classic));
    EXPECT_EQ(Render(0, 0).materialStyle, uint32_t(MaterialStyleChoice::FromSettings));
    // The materials now differ: the model's list shows no item.
    EXPECT_EQ(model->currentIndex(), -1);

    model->setCurrentIndex(int(MaterialStyleChoice::PhysicallyBased));
    emit model->activated(int(MaterialStyleChoice::PhysicallyBased));
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(Render(0, i).materialStyle, uint32_t(MaterialStyleChoice::PhysicallyBased)) << i;
    EXPECT_EQ(Render(1, 0).materialStyle, uint32_t(MaterialStyleChoice::FromSettings)) << "other models stay";
    EXPECT_EQ(material->currentIndex(), int(MaterialStyleChoice::PhysicallyBased));

    // Showing another model sets its list without writing anything.
    const int edits = target.edits;
    Choose(*page, 1, 0);
    EXPECT_EQ(model->currentIndex(), int(MaterialStyleChoice::FromSettings));
    EXPECT_EQ(target.edits, edits);
}

TEST_F(ModelConfigPageTest, TypedValuesAreWrittenAndBadOnesAreMarkedAndChangeNothing) {
    auto page = MakePage();
    Choose(*page, 0, 1);
    Type(*page, "metallicBox", " 0.25 ");
    EXPECT_FLOAT_EQ(Render(0, 1).metallic, 0.25f);
    EXPECT_EQ(Child<QSlider>(*page, "metallicSlider")->value(), 250);
    const int edits = target.edits;

    for (const char* bad : {"abc", "", "0.5x", "1.5", "-0.1", "nan", "inf"}) {
        Type(*page, "metallicBox", bad);
        auto* box = Child<QLineEdit>(*page, "metallicBox");
        EXPECT_TRUE(TavrinApp::HasFieldProblem(box)) << bad;
        EXPECT_FALSE(box->toolTip().isEmpty()) << bad;
        EXPECT_EQ(page->StatusText(), box->toolTip()) << bad;
    }
    EXPECT_EQ(target.edits, edits);
    EXPECT_FLOAT_EQ(Render(0, 1).metallic, 0.25f);

    // Emission has no upper limit: a value past the slider's end is kept as typed, and a later
    // write from another control keeps it.
    Type(*page, "emissionBox", "25");
    EXPECT_FALSE(TavrinApp::HasFieldProblem(Child<QLineEdit>(*page, "emissionBox")));
    EXPECT_TRUE(page->StatusText().isEmpty());
    EXPECT_EQ(Child<QSlider>(*page, "emissionSlider")->value(), TavrinApp::ValueSlider::kSliderSteps);
    MoveSlider(*page, "roughness", 100);
    EXPECT_FLOAT_EQ(Render(0, 1).emission, 25.0f);
}

TEST_F(ModelConfigPageTest, AValueWithoutAnItemShowsAsDefaultAndTheNextWriteStoresDefault) {
    auto page = MakePage();
    Choose(*page, 0, 2);  // shading model 5
    EXPECT_EQ(Child<QComboBox>(*page, "shadingModelList")->currentIndex(), 1);
    EXPECT_EQ(Render(0, 2).shadingModel, 5u) << "showing writes nothing";
    MoveSlider(*page, "metallic", 900);
    EXPECT_EQ(Render(0, 2).shadingModel, 1u);
    EXPECT_EQ(target.rebuilds, 0) << "5 and 1 are both opaque";
}

TEST_F(ModelConfigPageTest, ACategoryChangeRebuildsTheRaytracedSceneOnce) {
    auto page = MakePage();
    Choose(*page, 0, 1);  // Default
    auto* list = Child<QComboBox>(*page, "shadingModelList");
    list->setCurrentIndex(2);  // ThinTranslucent
    EXPECT_EQ(Render(0, 1).shadingModel, 11u) << "the list's choice is stored at once";
    MoveSlider(*page, "roughness", 200);
    MoveSlider(*page, "roughness", 300);
    EXPECT_EQ(target.rebuilds, 1);

    list->setCurrentIndex(4);  // Skin: transparent to opaque
    EXPECT_EQ(target.rebuilds, 2);
    list->setCurrentIndex(3);  // Subsurface: opaque still
    EXPECT_EQ(target.rebuilds, 2);
    list->setCurrentIndex(0);  // None: no longer drawn
    EXPECT_EQ(target.rebuilds, 3);
    EXPECT_EQ(Render(0, 1).shadingModel, 0u);
}

TEST_F(ModelConfigPageTest, ARefusedRebuildIsAskedForAgainUntilItIsTaken) {
    target.refuseRebuilds = 2;
    auto page = MakePage();
    Choose(*page, 0, 1);
    Child<QComboBox>(*page, "shadingModelList")->setCurrentIndex(2);
    EXPECT_EQ(target.refusedRebuilds, 1);
    EXPECT_EQ(target.rebuilds, 0);
    QElapsedTimer waited;
    waited.start();
    while (target.rebuilds == 0 && waited.elapsed() < 5000) AppTest::ProcessEvents();
    EXPECT_EQ(target.refusedRebuilds, 2);
    EXPECT_EQ(target.rebuilds, 1);
}

TEST_F(ModelConfigPageTest, APickedColourIsStoredOverTwoFiftyFiveAndFillsTheSwatch) {
    auto page = MakePage();
    Choose(*page, 0, 0);
    auto* button = Child<TavrinApp::ColourSwatchButton>(*page, "subsurfaceColorButton");
    const QColor shown = TavrinApp::SwatchOf(Render(0, 0).subsurfaceColor);
    EXPECT_EQ(button->SwatchColour(), shown);
    nextColour = QColor(255, 128, 0);
    button->click();
    EXPECT_EQ(pickerInitial, shown) << "the dialog opens on the colour shown";
    const MaterialBuffer& block = Render(0, 0);
    EXPECT_FLOAT_EQ(block.subsurfaceColor.x, 1.0f);
    EXPECT_FLOAT_EQ(block.subsurfaceColor.y, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(block.subsurfaceColor.z, 0.0f);
    EXPECT_EQ(button->SwatchColour(), QColor(255, 128, 0));
    EXPECT_EQ(block.shadingModel, 3u);

    // Cancelling the dialog changes nothing.
    const int edits = target.edits;
    nextColour = QColor();
    Child<TavrinApp::ColourSwatchButton>(*page, "baseColorTintButton")->click();
    EXPECT_EQ(target.edits, edits);
    EXPECT_FLOAT_EQ(Render(0, 0).baseColorTint.x, 0.5f);
}

TEST_F(ModelConfigPageTest, NothingIsWrittenWithoutAChosenMaterial) {
    auto page = MakePage();
    Child<QComboBox>(*page, "modelList")->setCurrentIndex(1);
    nextColour = QColor(1, 2, 3);
    Child<TavrinApp::ColourSwatchButton>(*page, "baseColorTintButton")->click();
    Child<QSlider>(*page, "roughnessSlider")->setValue(10);
    Child<QComboBox>(*page, "shadingModelList")->setCurrentIndex(7);
    page->ResetMaterial();
    page->RestoreMaterial();
    EXPECT_EQ(target.edits, 0);
    for (const auto& model : target.models)
        for (std::size_t i = 0; i < model.render.size(); ++i) EXPECT_EQ(model.render[i].shadingModel, model.loaded[i].shadingModel);
}

// ---- reset, restore, save ----

TEST_F(ModelConfigPageTest, ResetShowsTheDefaultsAndRestoreBringsBackTheLoadedValues) {
    auto page = MakePage();
    Choose(*page, 0, 1);
    Type(*page, "metallicBox", "0.5");
    Child<QComboBox>(*page, "shadingModelList")->setCurrentIndex(2);  // ThinTranslucent
    const int rebuilds = target.rebuilds;

    page->ResetMaterial();
    const MaterialBuffer& reset = Render(0, 1);
    EXPECT_EQ(reset.shadingModel, 1u);
    EXPECT_FLOAT_EQ(reset.metallic, 0.0f);
    EXPECT_EQ(reset.normalTextureIndex, -1);
    EXPECT_EQ(Child<QLineEdit>(*page, "metallicBox")->text(), "0");
    EXPECT_EQ(Child<QLabel>(*page, "normalMapText")->text(), "NO");
    EXPECT_EQ(Child<QComboBox>(*page, "shadingModelList")->currentIndex(), 1);
    EXPECT_EQ(target.rebuilds, rebuilds + 1) << "the reset took the material from transparent to opaque";

    page->RestoreMaterial();
    EXPECT_EQ(std::memcmp(&Render(0, 1), &target.models[0].loaded[1], sizeof(MaterialBuffer)), 0);
    EXPECT_EQ(Child<QLineEdit>(*page, "metallicBox")->text(), "0.75");
    EXPECT_EQ(Child<QLabel>(*page, "normalMapText")->text(), "YES");
    EXPECT_EQ(target.rebuilds, rebuilds + 1) << "Default to Default";
}

TEST_F(ModelConfigPageTest, SaveWritesTheChosenModelAndNothingForTheCamera) {
    auto page = MakePage();
    page->SaveMaterials();
    EXPECT_EQ(target.saves, 0);
    EXPECT_FALSE(Child<QPushButton>(*page, "saveButton")->isEnabled());

    Child<QComboBox>(*page, "modelList")->setCurrentIndex(1);
    Child<QPushButton>(*page, "saveButton")->click();
    EXPECT_EQ(target.saves, 1);
    EXPECT_TRUE(page->StatusText().contains("miku.xml"));

    // A model without a file of its own (the built-in sample) is not written.
    Child<QComboBox>(*page, "modelList")->setCurrentIndex(2);
    page->SaveMaterials();
    EXPECT_EQ(target.saves, 1);
    EXPECT_FALSE(page->StatusText().isEmpty());
}

// ---- placement ----

TEST_F(ModelConfigPageTest, TheBoxesShowThePlacementAndTypedDigitsApplyAsTheyCome) {
    auto page = MakePage();
    Child<QComboBox>(*page, "modelList")->setCurrentIndex(1);
    auto* rotationY = Child<QLineEdit>(*page, "rotationYBox");
    EXPECT_EQ(rotationY->text(), QString::number(0.5 / double(TavrinApp::kRadiansPerDegree), 'g', 6));
    EXPECT_EQ(Child<QLineEdit>(*page, "translationZBox")->text(), "3");
    EXPECT_EQ(target.placements, 0);

    rotationY->setText("9");
    EXPECT_EQ(target.placements, 1);
    EXPECT_FLOAT_EQ(target.models[0].placement.rotation.y, 9.0f * 0.017453292f);
    rotationY->setText("90");
    EXPECT_EQ(target.placements, 2);
    EXPECT_FLOAT_EQ(target.models[0].placement.rotation.y, 90.0f * 0.017453292f);
    EXPECT_FLOAT_EQ(target.models[0].placement.rotation.x, 0.0f);
    EXPECT_FLOAT_EQ(target.models[0].placement.translation.x, 1.0f);
    EXPECT_FLOAT_EQ(target.models[0].placement.translation.z, 3.0f);

    Child<QLineEdit>(*page, "translationXBox")->setText(" -2.5 ");
    EXPECT_FLOAT_EQ(target.models[0].placement.translation.x, -2.5f);
    EXPECT_EQ(target.models[1].placement.translation.x, 0.0f) << "only the chosen model moves";
}

TEST_F(ModelConfigPageTest, ATextThatIsNotANumberIsMarkedAndLeavesThePlacement) {
    auto page = MakePage();
    Child<QComboBox>(*page, "modelList")->setCurrentIndex(1);
    auto* rotationY = Child<QLineEdit>(*page, "rotationYBox");
    rotationY->setText("45");
    const ModelPlacement placed = target.models[0].placement;
    const int placements = target.placements;

    for (const char* bad : {"abc", "", "   ", "4 5", "1e40", "nan"}) {
        rotationY->setText(bad);
        EXPECT_TRUE(TavrinApp::HasFieldProblem(rotationY)) << bad;
        EXPECT_FALSE(rotationY->toolTip().isEmpty()) << bad;
    }
    // A good edit elsewhere does not get past the bad field.
    Child<QLineEdit>(*page, "translationYBox")->setText("7");
    EXPECT_EQ(target.placements, placements);
    EXPECT_EQ(target.models[0].placement.rotation.y, placed.rotation.y);
    EXPECT_EQ(target.models[0].placement.translation.y, placed.translation.y);
    EXPECT_FALSE(TavrinApp::HasFieldProblem(Child<QLineEdit>(*page, "translationYBox")));

    rotationY->setText("30");
    EXPECT_FALSE(TavrinApp::HasFieldProblem(rotationY));
    EXPECT_TRUE(page->StatusText().isEmpty());
    EXPECT_FLOAT_EQ(target.models[0].placement.translation.y, 7.0f);
}

TEST_F(ModelConfigPageTest, WithTheCameraChosenTheBoxesDoNothing) {
    auto page = MakePage();
    Child<QComboBox>(*page, "modelList")->setCurrentIndex(1);
    Child<QComboBox>(*page, "modelList")->setCurrentIndex(0);
    EXPECT_EQ(Child<QListWidget>(*page, "materialList")->count(), 0);
    for (const char* name : {"rotationXBox", "rotationYBox", "translationZBox"}) {
        auto* box = Child<QLineEdit>(*page, name);
        EXPECT_TRUE(box->text().isEmpty());
        box->setText("12");
    }
    EXPECT_EQ(target.placements, 0);
}

}  // namespace
