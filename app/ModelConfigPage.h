#pragma once
// The model configuration page: pick one of the scene's models ("<Camera>" first, then the
// models by name), place it in the world (rotation in degrees, translation), pick one of its
// materials and edit that material's extended shading values and style live (the style also for
// every material of the model at once); reset a material to the
// default block or restore it as loaded; save the model's extended values to its XML file.
//
// Edits go through the host's ModelEditTarget. Showing a material copies it into the controls
// with the refresh flag set, so nothing shown is written back. Every material write stores all
// the controls (shading model included); when the material moves between not drawn,
// transparent and opaque, the ray-traced scene is rebuilt once (retried while another scene task
// runs). A transform text that is not a number, and a typed value outside its field's range, are
// marked at their field and change nothing.
#include <QColor>

#include <array>
#include <functional>

#include "app/ColourSwatchButton.h"
#include "app/ModelEditTarget.h"
#include "app/SettingsPages.h"
#include "model/ExtendedMaterial.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QVBoxLayout;

namespace TavrinApp {

class ValueSlider;

/// Rotation boxes take degrees; the placement holds radians.
inline constexpr float kRadiansPerDegree = 0.017453292f;

class ModelConfigPage : public SettingsPage {
    Q_OBJECT
public:
    /// Works on the host's EditableModels(); without them the page says so and offers nothing.
    explicit ModelConfigPage(PanelHost& host, QWidget* parent = nullptr);

    void SetColourPicker(ColourPicker picker) { m_pickColour = std::move(picker); }

    /// The scene index of the chosen model; -1 for "<Camera>" or nothing chosen.
    int ChosenModel() const;
    /// The chosen material; -1 when none.
    int ChosenMaterial() const;
    /// The message line: the last refused text, or what saving did.
    QString StatusText() const;

    void ResetMaterial();
    void RestoreMaterial();
    void SaveMaterials();
    /// Gives every material of the chosen model the style choice `item` (0 the render settings',
    /// 1 physically based, 2 classic: MaterialStyleChoice's values).
    void SetModelStyle(int item);

private:
    enum Slider {
        Metallic,
        Roughness,
        Anisotropy,
        ClearCoat,
        ClearCoatRoughness,
        Cloth,
        Curvature,
        Thickness,
        Emission,
        Occlusion,
        Subsurface,
        kSliderCount
    };
    enum Colour { BaseColorTint, SpecularTint, SubsurfaceColor, ClothFuzzColor, kColourCount };
    enum TextureMap { NormalMap, CurvatureMap, ThicknessMap, OcclusionMap, kTextureMapCount };

    void BuildControls(QVBoxLayout* layout);
    void FillModelList();
    void ModelChosen(int item);
    void MaterialChosen(int row);
    void ShowMaterial();
    void ShowPlacement();
    /// The model's style list: the choice every material shares, or no item when they differ.
    void ShowModelStyle();
    void WriteMaterial();
    void ShadingModelChosen(int index);
    void ShowVisibility(int index);
    void TransformEdited();
    void PickColour(Colour colour);
    /// After a reset or restore, which changes the block behind the page's back.
    void MaterialReplaced(uint32_t shadingModelBefore);
    void RequestRebuild();
    void ShowStatus(const QString& text);
    Vesma::ExtendedMaterial ControlValues() const;

    ModelEditTarget* m_target = nullptr;
    ColourPicker m_pickColour = PickColourWithDialog;
    bool m_refreshing = false;

    QComboBox* m_models = nullptr;
    QListWidget* m_materials = nullptr;
    QWidget* m_placementGroup = nullptr;
    std::array<QLineEdit*, 3> m_rotation{};
    std::array<QLineEdit*, 3> m_translation{};
    QWidget* m_materialGroup = nullptr;
    QComboBox* m_shadingModel = nullptr;
    QComboBox* m_materialStyle = nullptr;
    QComboBox* m_modelStyle = nullptr;
    std::array<ValueSlider*, kSliderCount> m_sliders{};
    std::array<ColourSwatchButton*, kColourCount> m_colours{};
    std::array<QLabel*, kTextureMapCount> m_textureMaps{};
    QPushButton* m_save = nullptr;
    QLabel* m_status = nullptr;
    QTimer* m_rebuildRetry = nullptr;
};

}  // namespace TavrinApp
