#include "app/ModelConfigPage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/ColourSwatchButton.h"
#include "app/FieldMark.h"
#include "app/PanelHost.h"
#include "app/ShadingModelChoice.h"
#include "app/UiText.h"
#include "app/ValueSlider.h"

namespace TavrinApp {
namespace {

using ProjectTavrin::MaterialBuffer;

constexpr int kRebuildRetryMs = 100;
constexpr double kUnbounded = 10000.0;

struct SliderRow {
    const char* name;
    const char* label;
    ValueRange range;
};

// Order of the page's Slider enumeration. Emission and subsurface have no upper limit in the
// material file; their sliders cover the useful part and larger values are typed.
constexpr SliderRow kSliderRows[] = {
    {"metallic", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Metallic"), {0.0, 1.0, 1.0}},
    {"roughness", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Roughness"), {0.0, 1.0, 1.0}},
    {"anisotropy", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Anisotropy"), {0.0, 1.0, 1.0}},
    {"clearCoat", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Clear coat"), {0.0, 1.0, 1.0}},
    {"clearCoatRoughness", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Clear-coat roughness"), {0.0, 1.0, 1.0}},
    {"cloth", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Cloth"), {0.0, 1.0, 1.0}},
    {"curvature", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Curvature"), {0.0, 1.0, 1.0}},
    {"thickness", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Thickness"), {0.0, 1.0, 1.0}},
    {"emission", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Emission"), {0.0, 10.0, kUnbounded}},
    {"occlusion", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Occlusion"), {0.0, 1.0, 1.0}},
    {"subsurface", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Subsurface"), {0.0, 4.0, kUnbounded}},
};

struct ColourRow {
    const char* name;
    const char* label;
};

constexpr ColourRow kColourRows[] = {
    {"baseColorTint", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Base colour tint")},
    {"specularTint", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Specular tint")},
    {"subsurfaceColor", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Subsurface colour")},
    {"clothFuzzColor", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Cloth fuzz colour")},
};

constexpr ColourRow kTextureMapRows[] = {
    {"normalMap", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Normal map")},
    {"curvatureMap", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Curvature map")},
    {"thicknessMap", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Thickness map")},
    {"occlusionMap", QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Occlusion map")},
};

const char* const kAxes[] = {"X", "Y", "Z"};

// The style lists' items, in MaterialStyleChoice's order.
const char* const kStyleItems[] = {
    QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "As the render settings say"),
    QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Physically based"),
    QT_TRANSLATE_NOOP("TavrinApp::ModelConfigPage", "Classic"),
};
constexpr int kStyleItemCount = 3;

int StyleItem(uint32_t choice) { return choice < uint32_t(kStyleItemCount) ? int(choice) : 0; }

QString YesNo(int32_t textureIndex) { return textureIndex >= 0 ? QStringLiteral("YES") : QStringLiteral("NO"); }

}  // namespace

ModelConfigPage::ModelConfigPage(PanelHost& host, QWidget* parent)
    : SettingsPage(host, tr("Model settings"), parent), m_target(host.EditableModels()) {
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    if (!m_target) {
        auto* none = new QLabel(tr("There is no scene to edit."), this);
        none->setObjectName("noSceneText");
        layout->insertWidget(1, none);
        return;
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    BuildControls(contentLayout);
    scroll->setWidget(content);
    // The controls take the room the empty page left to its stretch.
    layout->insertWidget(1, scroll, 1);
    delete layout->takeAt(2);

    m_rebuildRetry = new QTimer(this);
    m_rebuildRetry->setSingleShot(true);
    m_rebuildRetry->setInterval(kRebuildRetryMs);
    connect(m_rebuildRetry, &QTimer::timeout, this, &ModelConfigPage::RequestRebuild);

    FillModelList();
}

void ModelConfigPage::BuildControls(QVBoxLayout* layout) {
    m_models = new QComboBox(this);
    m_models->setObjectName("modelList");
    layout->addWidget(new QLabel(tr("Model"), this));
    layout->addWidget(m_models);

    auto* placement = new QGroupBox(tr("Placement"), this);
    m_placementGroup = placement;
    auto* grid = new QGridLayout(placement);
    grid->addWidget(new QLabel(tr("Rotation (°)"), placement), 0, 0);
    grid->addWidget(new QLabel(tr("Position"), placement), 1, 0);
    for (int axis = 0; axis < 3; ++axis) {
        auto makeBox = [&](const char* what, int row) {
            auto* box = new QLineEdit(placement);
            box->setObjectName(QString("%1%2Box").arg(what, kAxes[axis]));
            box->setPlaceholderText(kAxes[axis]);
            grid->addWidget(box, row, axis + 1);
            connect(box, &QLineEdit::textChanged, this, &ModelConfigPage::TransformEdited);
            return box;
        };
        m_rotation[axis] = makeBox("rotation", 0);
        m_translation[axis] = makeBox("translation", 1);
    }
    layout->addWidget(placement);

    auto* modelStyle = new QFormLayout();
    m_modelStyle = new QComboBox(this);
    m_modelStyle->setObjectName("modelStyleList");
    for (const char* item : kStyleItems) m_modelStyle->addItem(tr(item));
    m_modelStyle->setToolTip(tr("The style of every material of the model"));
    modelStyle->addRow(tr("Material style"), m_modelStyle);
    layout->addLayout(modelStyle);
    // Only the user's choices write: showing a model sets the list without a write.
    connect(m_modelStyle, &QComboBox::activated, this, &ModelConfigPage::SetModelStyle);

    m_save = new QPushButton(tr("Save the model's materials"), this);
    m_save->setObjectName("saveButton");
    connect(m_save, &QPushButton::clicked, this, &ModelConfigPage::SaveMaterials);
    layout->addWidget(m_save);

    layout->addWidget(new QLabel(tr("Materials"), this));
    m_materials = new QListWidget(this);
    m_materials->setObjectName("materialList");
    m_materials->setMinimumHeight(100);
    m_materials->setMaximumHeight(160);
    layout->addWidget(m_materials);

    auto* material = new QGroupBox(tr("Material"), this);
    m_materialGroup = material;
    auto* materialLayout = new QVBoxLayout(material);
    auto* shading = new QFormLayout();
    m_shadingModel = new QComboBox(material);
    m_shadingModel->setObjectName("shadingModelList");
    for (int i = 0; i < kShadingModelItemCount; ++i) {
        const std::string_view label = ShadingModelItemLabel(i);
        m_shadingModel->addItem(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
    }
    shading->addRow(tr("Shading model"), m_shadingModel);
    m_materialStyle = new QComboBox(material);
    m_materialStyle->setObjectName("materialStyleList");
    for (const char* item : kStyleItems) m_materialStyle->addItem(tr(item));
    shading->addRow(tr("Style"), m_materialStyle);
    materialLayout->addLayout(shading);
    for (int i = 0; i < kSliderCount; ++i) {
        const SliderRow& row = kSliderRows[i];
        m_sliders[i] = new ValueSlider(row.name, tr(row.label), row.range, material);
        materialLayout->addWidget(m_sliders[i]);
        connect(m_sliders[i], &ValueSlider::edited, this, [this] {
            ShowStatus(QString());
            WriteMaterial();
        });
        connect(m_sliders[i], &ValueSlider::unchanged, this, [this] { ShowStatus(QString()); });
        connect(m_sliders[i], &ValueSlider::refused, this, &ModelConfigPage::ShowStatus);
    }
    for (int i = 0; i < kColourCount; ++i) {
        m_colours[i] = new ColourSwatchButton(kColourRows[i].name, tr(kColourRows[i].label), SwatchChannels::Truncated,
                                              QStringLiteral("Button"), material);
        materialLayout->addWidget(m_colours[i]);
        connect(m_colours[i], &QPushButton::clicked, this, [this, i] { PickColour(static_cast<Colour>(i)); });
    }
    auto* maps = new QFormLayout();
    for (int i = 0; i < kTextureMapCount; ++i) {
        m_textureMaps[i] = new QLabel(QStringLiteral("NO"), material);
        m_textureMaps[i]->setObjectName(QString(kTextureMapRows[i].name) + "Text");
        maps->addRow(tr(kTextureMapRows[i].label), m_textureMaps[i]);
    }
    materialLayout->addLayout(maps);
    auto* buttons = new QHBoxLayout();
    auto* reset = new QPushButton(tr("Reset"), material);
    reset->setObjectName("resetButton");
    reset->setToolTip(tr("Replace the material with the default values"));
    auto* restore = new QPushButton(tr("Restore"), material);
    restore->setObjectName("restoreButton");
    restore->setToolTip(tr("Bring back the material as it was loaded"));
    buttons->addWidget(reset);
    buttons->addWidget(restore);
    materialLayout->addLayout(buttons);
    layout->addWidget(material);
    connect(reset, &QPushButton::clicked, this, &ModelConfigPage::ResetMaterial);
    connect(restore, &QPushButton::clicked, this, &ModelConfigPage::RestoreMaterial);
    connect(m_shadingModel, &QComboBox::currentIndexChanged, this, &ModelConfigPage::ShadingModelChosen);
    connect(m_materialStyle, &QComboBox::currentIndexChanged, this, [this] {
        WriteMaterial();
        ShowModelStyle();
    });

    m_status = new QLabel(this);
    m_status->setObjectName("statusText");
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    layout->addStretch(1);

    connect(m_models, &QComboBox::currentIndexChanged, this, &ModelConfigPage::ModelChosen);
    connect(m_materials, &QListWidget::currentRowChanged, this, &ModelConfigPage::MaterialChosen);
    ShowVisibility(m_shadingModel->currentIndex());
}

// ---- models and materials ----

void ModelConfigPage::FillModelList() {
    {
        const QSignalBlocker quiet(m_models);
        m_models->clear();
        m_models->addItem(QStringLiteral("<Camera>"));
        for (const std::u16string& name : m_target->ModelNames()) m_models->addItem(ToQString(name));
    }
    m_models->setCurrentIndex(0);
    ModelChosen(0);
}

int ModelConfigPage::ChosenModel() const {
    if (!m_models) return -1;
    const int item = m_models->currentIndex();
    return item >= 1 ? item - 1 : -1;
}

int ModelConfigPage::ChosenMaterial() const { return m_materials ? m_materials->currentRow() : -1; }

void ModelConfigPage::ModelChosen(int) {
    {
        const QSignalBlocker quiet(m_materials);
        m_materials->clear();
        const int model = ChosenModel();
        if (model >= 0)
            for (const std::u16string& name : m_target->MaterialNames(static_cast<std::size_t>(model)))
                m_materials->addItem(ToQString(name));
    }
    m_save->setEnabled(ChosenModel() >= 0);
    ShowPlacement();
    ShowModelStyle();
    MaterialChosen(-1);
}

void ModelConfigPage::MaterialChosen(int) { ShowMaterial(); }

void ModelConfigPage::ShowPlacement() {
    m_refreshing = true;
    ModelPlacement placement;
    const int model = ChosenModel();
    const bool known = model >= 0 && m_target->ReadPlacement(static_cast<std::size_t>(model), placement);
    const float rotation[] = {placement.rotation.x, placement.rotation.y, placement.rotation.z};
    const float translation[] = {placement.translation.x, placement.translation.y, placement.translation.z};
    for (int axis = 0; axis < 3; ++axis) {
        // Degrees shown to six digits, so a placement typed in whole degrees shows as typed.
        m_rotation[axis]->setText(known ? QString::number(double(rotation[axis] / kRadiansPerDegree), 'g', 6) : QString());
        m_translation[axis]->setText(known ? QString::number(double(translation[axis]), 'g', 6) : QString());
        MarkFieldProblem(m_rotation[axis], QString());
        MarkFieldProblem(m_translation[axis], QString());
    }
    m_placementGroup->setEnabled(known);
    m_refreshing = false;
}

void ModelConfigPage::ShowMaterial() {
    m_refreshing = true;
    MaterialBuffer block;
    const int model = ChosenModel();
    const int material = ChosenMaterial();
    const bool known = model >= 0 && material >= 0 &&
                       m_target->ReadMaterial(static_cast<std::size_t>(model), static_cast<std::size_t>(material), block);
    if (known) {
        const float sliderValues[kSliderCount] = {block.metallic,  block.roughness, block.anisotropy, block.clearCoat,
                                                  block.clearCoatRoughness, block.cloth, block.curvature, block.thickness,
                                                  block.emission,  block.occlusion, block.subsurface};
        for (int i = 0; i < kSliderCount; ++i) m_sliders[i]->ShowValue(sliderValues[i]);
        m_colours[BaseColorTint]->ShowColour(block.baseColorTint);
        m_colours[SpecularTint]->ShowColour(block.specularTint);
        m_colours[SubsurfaceColor]->ShowColour(block.subsurfaceColor);
        m_colours[ClothFuzzColor]->ShowColour(block.clothFuzzColor);
        m_textureMaps[NormalMap]->setText(YesNo(block.normalTextureIndex));
        m_textureMaps[CurvatureMap]->setText(YesNo(block.curvatureTextureIndex));
        m_textureMaps[ThicknessMap]->setText(YesNo(block.thicknessTextureIndex));
        m_textureMaps[OcclusionMap]->setText(YesNo(block.occlusionTextureIndex));
        m_shadingModel->setCurrentIndex(ItemOfShadingModel(block.shadingModel));
        m_materialStyle->setCurrentIndex(StyleItem(block.materialStyle));
        // The list may already stand on that item, which sends no change.
        ShowVisibility(m_shadingModel->currentIndex());
    }
    m_materialGroup->setEnabled(known);
    m_refreshing = false;
}

Vesma::ExtendedMaterial ModelConfigPage::ControlValues() const {
    Vesma::ExtendedMaterial v;
    v.metallic = float(m_sliders[Metallic]->Value());
    v.roughness = float(m_sliders[Roughness]->Value());
    v.anisotropy = float(m_sliders[Anisotropy]->Value());
    v.clearCoat = float(m_sliders[ClearCoat]->Value());
    v.clearCoatRoughness = float(m_sliders[ClearCoatRoughness]->Value());
    v.cloth = float(m_sliders[Cloth]->Value());
    v.curvature = float(m_sliders[Curvature]->Value());
    v.thickness = float(m_sliders[Thickness]->Value());
    v.emission = float(m_sliders[Emission]->Value());
    v.occlusion = float(m_sliders[Occlusion]->Value());
    v.subsurface = float(m_sliders[Subsurface]->Value());
    v.baseColorTint = m_colours[BaseColorTint]->Colour();
    v.specularTint = m_colours[SpecularTint]->Colour();
    v.subsurfaceColor = m_colours[SubsurfaceColor]->Colour();
    v.clothFuzzColor = m_colours[ClothFuzzColor]->Colour();
    v.shadingModel = ShadingModelOfItem(m_shadingModel->currentIndex());
    v.materialStyle = ProjectTavrin::StyleOfChoice(uint32_t(std::max(m_materialStyle->currentIndex(), 0)));
    return v;
}

void ModelConfigPage::WriteMaterial() {
    const int model = ChosenModel();
    const int material = ChosenMaterial();
    if (m_refreshing || model < 0 || material < 0) return;
    const Vesma::ExtendedMaterial values = ControlValues();
    uint32_t before = values.shadingModel;
    const bool written = m_target->EditMaterial(static_cast<std::size_t>(model), static_cast<std::size_t>(material),
                                                [&](MaterialBuffer& block) {
                                                    before = block.shadingModel;
                                                    ProjectTavrin::ApplyExtendedMaterial(block, values);
                                                });
    if (written && CategoryOfShadingModel(before) != CategoryOfShadingModel(values.shadingModel)) RequestRebuild();
}

void ModelConfigPage::ShadingModelChosen(int index) {
    ShowVisibility(index);
    WriteMaterial();
}

void ModelConfigPage::ShowVisibility(int index) {
    const MaterialControlVisibility v = VisibilityOfItem(index);
    m_sliders[Metallic]->setVisible(v.metallic);
    m_sliders[Emission]->setVisible(v.emission);
    m_sliders[Thickness]->setVisible(v.thickness);
    m_sliders[Curvature]->setVisible(v.curvature);
    m_sliders[Subsurface]->setVisible(v.subsurface);
    m_sliders[ClearCoat]->setVisible(v.clearCoat);
    m_sliders[ClearCoatRoughness]->setVisible(v.clearCoatRoughness);
    m_sliders[Cloth]->setVisible(v.cloth);
    m_colours[SubsurfaceColor]->setVisible(v.subsurfaceColor);
    m_colours[ClothFuzzColor]->setVisible(v.clothFuzzColor);
}

void ModelConfigPage::PickColour(Colour colour) {
    if (m_refreshing || ChosenModel() < 0 || ChosenMaterial() < 0) return;
    ColourSwatchButton* button = m_colours[colour];
    if (button->AskForColour(m_pickColour, button->text())) WriteMaterial();
}

void ModelConfigPage::ShowModelStyle() {
    const int model = ChosenModel();
    int shared = -1;
    bool first = true;
    if (model >= 0) {
        const std::size_t count = m_target->MaterialNames(std::size_t(model)).size();
        for (std::size_t i = 0; i < count; ++i) {
            MaterialBuffer block;
            if (!m_target->ReadMaterial(std::size_t(model), i, block)) continue;
            const int item = StyleItem(block.materialStyle);
            if (first) shared = item;
            else if (shared != item) shared = -1;
            first = false;
        }
    }
    m_modelStyle->setCurrentIndex(first ? -1 : shared);
    m_modelStyle->setEnabled(model >= 0 && !first);
}

void ModelConfigPage::SetModelStyle(int item) {
    const int model = ChosenModel();
    if (model < 0 || item < 0 || item >= kStyleItemCount) return;
    const std::size_t count = m_target->MaterialNames(std::size_t(model)).size();
    for (std::size_t i = 0; i < count; ++i)
        m_target->EditMaterial(std::size_t(model), i, [&](MaterialBuffer& block) { block.materialStyle = uint32_t(item); });
    ShowMaterial();
    ShowModelStyle();
}

// ---- reset, restore, save ----

void ModelConfigPage::ResetMaterial() {
    const int model = ChosenModel();
    const int material = ChosenMaterial();
    if (model < 0 || material < 0) return;
    MaterialBuffer before;
    if (!m_target->ReadMaterial(std::size_t(model), std::size_t(material), before)) return;
    m_target->ResetMaterial(std::size_t(model), std::size_t(material));
    MaterialReplaced(before.shadingModel);
}

void ModelConfigPage::RestoreMaterial() {
    const int model = ChosenModel();
    const int material = ChosenMaterial();
    if (model < 0 || material < 0) return;
    MaterialBuffer before;
    if (!m_target->ReadMaterial(std::size_t(model), std::size_t(material), before)) return;
    m_target->RestoreMaterial(std::size_t(model), std::size_t(material));
    MaterialReplaced(before.shadingModel);
}

void ModelConfigPage::MaterialReplaced(uint32_t shadingModelBefore) {
    MaterialBuffer after;
    if (m_target->ReadMaterial(std::size_t(ChosenModel()), std::size_t(ChosenMaterial()), after) &&
        CategoryOfShadingModel(after.shadingModel) != CategoryOfShadingModel(shadingModelBefore))
        RequestRebuild();
    ShowStatus(QString());
    ShowMaterial();
    ShowModelStyle();
}

void ModelConfigPage::SaveMaterials() {
    const int model = ChosenModel();
    if (model < 0) return;
    const std::filesystem::path file = m_target->MaterialFilePath(std::size_t(model));
    if (file.empty()) {
        ShowStatus(tr("The built-in sample model has no material file."));
        return;
    }
    const QString where = ToQString(file.u16string());
    ShowStatus(m_target->SaveMaterials(std::size_t(model)) ? tr("Saved %1").arg(where)
                                                            : tr("Could not save %1; the log says why.").arg(where));
}

void ModelConfigPage::RequestRebuild() {
    // A scene task still running refuses the request; the rebuild then waits for it to end.
    if (!m_target->RebuildRaytracingScene()) m_rebuildRetry->start();
}

// ---- placement ----

void ModelConfigPage::TransformEdited() {
    if (m_refreshing || ChosenModel() < 0) return;
    struct Field {
        QLineEdit* box;
        QString name;
        float* value;
    };
    ModelPlacement placement;
    const Field fields[] = {
        {m_rotation[0], tr("Rotation X"), &placement.rotation.x},
        {m_rotation[1], tr("Rotation Y"), &placement.rotation.y},
        {m_rotation[2], tr("Rotation Z"), &placement.rotation.z},
        {m_translation[0], tr("Position X"), &placement.translation.x},
        {m_translation[1], tr("Position Y"), &placement.translation.y},
        {m_translation[2], tr("Position Z"), &placement.translation.z},
    };
    QString firstProblem;
    for (const Field& field : fields) {
        const QString text = field.box->text().trimmed();
        double number = 0.0;
        QString problem;
        if (text.isEmpty())
            problem = tr("%1: type a number.").arg(field.name);
        else if (!ParseFieldNumber(text, number))
            problem = tr("%1: \"%2\" is not a number.").arg(field.name, text);
        MarkFieldProblem(field.box, problem);
        if (firstProblem.isEmpty()) firstProblem = problem;
        *field.value = float(number);
    }
    ShowStatus(firstProblem);
    if (!firstProblem.isEmpty()) return;
    placement.rotation = placement.rotation * kRadiansPerDegree;
    m_target->SetPlacement(std::size_t(ChosenModel()), placement);
}

void ModelConfigPage::ShowStatus(const QString& text) { m_status->setText(text); }

QString ModelConfigPage::StatusText() const { return m_status ? m_status->text() : QString(); }

}  // namespace TavrinApp
