#pragma once
// The controls of the render configuration page: every render setting and pass parameter the
// page edits, grouped by pass. The mode lists show the controls of the chosen mode only, and
// refuse the ray-traced modes on a device without ray tracing. Changes that remake resources
// (environment, colour table, voxel volumes, probe volumes) write their settings and then ask
// RenderResourceTasks for the scene task that applies them.
//
// The environment and colour-filter lists start with "<Disabled>" and "<Sample>"; the files a
// search of the videos folder finds (".hdr", ".cube") are added when the search, run on a worker
// thread, completes.
#include <QWidget>

#include <cstddef>

#include "app/SettingControls.h"
#include "scene/VideoLibrary.h"

class QComboBox;
class QCheckBox;
class QFormLayout;
class QLabel;

namespace ProjectTavrin {
class RenderResourceTasks;
}

namespace TavrinApp {

struct RenderEditorServices {
    /// Whether the device can run the ray-traced modes (offered but refused otherwise).
    bool raytracing = false;
    /// Asks for the resource changes; null: the page writes the settings only.
    ProjectTavrin::RenderResourceTasks* resources = nullptr;
    /// The search behind the file lists; empty: the lists offer the two markers only.
    ProjectTavrin::FileSearch search;
};

class RenderSettingsEditor : public QWidget {
    Q_OBJECT
public:
    RenderSettingsEditor(ProjectTavrin::SettingsExchange& settings, RenderEditorServices services, QWidget* parent = nullptr);

    /// Shows the exchange's current values in every control (without writing anything back).
    void ShowCurrentValues();
    /// Puts every setting back to its default (the export size and the free-camera switch stay)
    /// and asks for one task that brings the resources in line.
    void ResetToDefaults();

    /// The message under the controls; empty while the last edit was accepted.
    QString ErrorText() const;
    /// Whether both file searches have completed and their items were added.
    bool FileListsFilled() const { return m_pendingSearches == 0; }

signals:
    void fileListsFilled();

private:
    QFormLayout* AddSection(const QString& title);
    /// A form inside `form` whose rows the mode lists show and hide together.
    QFormLayout* AddSubgroup(QFormLayout* form, const QString& name, QWidget*& container);
    /// The slider of row `name` writes when let go rather than while dragged.
    void WriteOnRelease(const char* name);
    void BuildSunSection();
    void BuildMaterialLookSection();
    void BuildShadowSection();
    void BuildEnvironmentSection();
    void BuildGiSection();
    void BuildOcclusionSection();
    void BuildReflectionSection();
    void BuildToneSection();
    void BuildPostSection();
    void BuildVolumetricSection();
    void BuildOceanSection();

    /// Takes mode `index` of a list that needs ray tracing at `raytracedIndex`, or refuses it and
    /// puts the list back to the renderer's mode. True when taken.
    bool ChooseMode(QComboBox* list, int index, int raytracedIndex, int32_t& (*field)(ProjectTavrin::FrameSettings&));
    void ShowModeGroups();
    void ChooseEnvironment(int index);
    void ChooseColorFilter(int index);
    void StartFileSearch(QComboBox* list, const char16_t* extension);
    /// Selects the items naming the current environment and colour table, once they are there.
    void SelectCurrentFiles();

    ProjectTavrin::SettingsExchange& m_settings;
    RenderEditorServices m_services;
    QWidget* m_sections = nullptr;
    QLabel* m_error = nullptr;
    SettingControls* m_controls = nullptr;
    int m_pendingSearches = 0;

    QCheckBox* m_fxaa = nullptr;
    QCheckBox* m_taa = nullptr;
    QComboBox* m_giMode = nullptr;
    QComboBox* m_aoMode = nullptr;
    QComboBox* m_srMode = nullptr;
    QComboBox* m_focusMode = nullptr;
    QComboBox* m_probeCount = nullptr;
    QComboBox* m_environments = nullptr;
    QComboBox* m_colorFilters = nullptr;
    QWidget* m_probeControls = nullptr;
    QWidget* m_voxelControls = nullptr;
    QWidget* m_ssaoControls = nullptr;
    QWidget* m_rtaoControls = nullptr;
    QWidget* m_reflectionControls = nullptr;
    QWidget* m_manualFocusControls = nullptr;
    size_t m_colorFilterStrength = 0;
};

/// The sun direction for azimuth `azimuth` (radians) and elevation `elevation` (1 is straight up).
Math::vec3 SunDirectionFromAngles(double azimuth, double elevation);

/// The two markers that open the environment and colour-filter lists.
inline constexpr const char* kDisabledItem = "<Disabled>";
inline constexpr const char* kSampleItem = "<Sample>";

}  // namespace TavrinApp
