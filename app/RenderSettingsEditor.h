#pragma once
// The controls of the render configuration page over one SettingsExchange: every render setting
// and post parameter that a pass reads today. Each accepted edit is one SettingsExchange::Edit,
// so a colour or a direction reaches the render thread whole. Numbers are typed; a text that is
// not a number, or one outside the field's range, is marked at its field with a message and
// changes nothing.
#include <QWidget>

#include <functional>
#include <vector>

#include "renderer/SettingsExchange.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;

namespace TavrinApp {

class RenderSettingsEditor : public QWidget {
    Q_OBJECT
public:
    /// `raytracing`: whether the device can run the ray-traced modes (offered but refused otherwise).
    RenderSettingsEditor(ProjectTavrin::SettingsExchange& settings, bool raytracing, QWidget* parent = nullptr);

    /// Shows the exchange's current values in every control (without writing anything back).
    void ShowCurrentValues();
    /// Puts every setting back to its default (the export size and the free-camera switch stay).
    void ResetToDefaults();

    /// The message under the controls; empty while the last edit was accepted.
    QString ErrorText() const;

private:
    using Read = std::function<double(const ProjectTavrin::FrameSettings&)>;
    using Write = std::function<void(ProjectTavrin::FrameSettings&, double)>;
    using ReadFlag = std::function<bool(const ProjectTavrin::FrameSettings&)>;
    using WriteFlag = std::function<void(ProjectTavrin::FrameSettings&, bool)>;
    using Colour = std::function<Math::vec3&(ProjectTavrin::FrameSettings&)>;

    struct NumberRow {
        QLineEdit* box;
        QString label;
        double min;
        double max;
        Read read;
        Write write;
    };
    struct FlagRow {
        QCheckBox* box;
        ReadFlag read;
    };
    struct ColourRow {
        QLineEdit* box;
        QString label;
        Colour field;
    };
    struct ModeRow {
        QComboBox* list;
        int raytracedIndex;  // the item that needs ray tracing
        std::function<int32_t&(ProjectTavrin::FrameSettings&)> field;
    };

    QFormLayout* AddGroup(const QString& title);
    void AddNumber(QFormLayout* form, const QString& name, const QString& label, double min, double max, Read read, Write write);
    QCheckBox* AddFlag(QFormLayout* form, const QString& name, const QString& label, ReadFlag read, WriteFlag write);
    void AddColour(QFormLayout* form, const QString& name, const QString& label, Colour field);
    void AddMode(QFormLayout* form, const QString& name, const QString& label, const QStringList& items, int raytracedIndex,
                 std::function<int32_t&(ProjectTavrin::FrameSettings&)> field);

    void CommitNumber(const NumberRow& row);
    void CommitColour(const ColourRow& row);
    void ChooseMode(const ModeRow& row, int index);
    void Refuse(QWidget* field, const QString& message);
    void Accept(QWidget* field);
    void WriteSunDirection(ProjectTavrin::FrameSettings& s) const;

    ProjectTavrin::SettingsExchange& m_settings;
    bool m_raytracing;
    QWidget* m_groups = nullptr;
    QLabel* m_error = nullptr;
    QCheckBox* m_fxaa = nullptr;
    QCheckBox* m_taa = nullptr;
    std::vector<NumberRow> m_numbers;
    std::vector<FlagRow> m_flags;
    std::vector<ColourRow> m_colours;
    std::vector<ModeRow> m_modes;
    // The sun's two angles are read together: each edit writes the direction from both.
    double m_sunAzimuth = 0.0;
    double m_sunElevation = 0.0;
};

/// Parses a typed number ("1.5", " -2 ", "3e-2"); false for anything else, including inf and nan.
bool ParseTypedNumber(const QString& text, double& value);

/// The sun direction for azimuth `azimuth` (radians) and elevation `elevation` (1 is straight up).
Math::vec3 SunDirectionFromAngles(double azimuth, double elevation);

}  // namespace TavrinApp
