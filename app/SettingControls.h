#pragma once
// The controls of a settings page over one SettingsExchange, and the rules they share: every
// accepted change is one SettingsExchange::Edit; number rows come in groups read together (a
// change to any row writes the values of every row in its group); a typed text that is not a
// number, or one outside the row's range, is marked at its field with a message and changes
// nothing. Lists and switches write through the handler they are given.
#include <QObject>
#include <QStringList>

#include <functional>
#include <vector>

#include "core/Math.h"
#include "renderer/SettingsExchange.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace TavrinApp {

class ColourSwatchButton;
class ValueSlider;

struct NumberRowSetup {
    QString name;   ///< object name of the row's box
    QString label;
    double min;
    double max;
    bool whole = false;  ///< the slider stops at whole numbers
    /// Where the row goes when not in the group's form (a group may span two mode panels).
    QFormLayout* form = nullptr;
};

class SettingControls : public QObject {
    Q_OBJECT
public:
    using Settings = ProjectTavrin::FrameSettings;
    using Values = std::vector<double>;
    using ReadNumbers = std::function<Values(const Settings&)>;
    using WriteNumbers = std::function<void(Settings&, const Values&)>;
    using ReadNumber = std::function<double(const Settings&)>;
    using WriteNumber = std::function<void(Settings&, double)>;
    using ReadFlag = std::function<bool(const Settings&)>;
    using WriteFlag = std::function<void(Settings&, bool)>;
    using ReadColour = std::function<Math::vec3(const Settings&)>;
    using WriteColour = std::function<void(Settings&, const Math::vec3&)>;
    using ReadIndex = std::function<int(const Settings&)>;

    /// `message`: where refusals are shown (and cleared on the next accepted change).
    SettingControls(ProjectTavrin::SettingsExchange& settings, QLabel* message, QObject* parent = nullptr);

    /// Adds one row per setup; they are read together. `after` runs once the values are written.
    /// Returns the group's index.
    size_t AddNumbers(QFormLayout* form, const std::vector<NumberRowSetup>& setups, ReadNumbers read, WriteNumbers write,
                      std::function<void()> after = {});
    size_t AddNumber(QFormLayout* form, const NumberRowSetup& setup, ReadNumber read, WriteNumber write,
                     std::function<void()> after = {});
    QCheckBox* AddFlag(QFormLayout* form, const QString& name, const QString& label, ReadFlag read, WriteFlag write);
    /// A colour as "r, g, b" (each 0 to 1) beside a swatch button ("<name>Pick") that shows it
    /// and asks for a new one.
    void AddColour(QFormLayout* form, const QString& name, const QString& label, ReadColour read, WriteColour write);
    /// A drop-down list; `choose` runs for every change of the selection (-1: none), `read` gives
    /// the item the current settings show.
    QComboBox* AddList(QFormLayout* form, const QString& name, const QString& label, const QStringList& items, ReadIndex read,
                       std::function<void(int)> choose);

    /// Writes every row of `group` with its last accepted value.
    void CommitGroup(size_t group);
    /// The last accepted values of `group`'s rows, in order.
    Values GroupValues(size_t group) const;

    /// Shows `current` in every control, writing nothing back.
    void ShowValues(const Settings& current);
    void Refuse(QWidget* field, const QString& message);
    void Accept(QWidget* field);
    ProjectTavrin::SettingsExchange& Exchange() { return m_settings; }

private:
    struct NumberRow {
        ValueSlider* field;
        size_t group;
    };
    struct NumberGroup {
        std::vector<size_t> rows;
        ReadNumbers read;
        WriteNumbers write;
        std::function<void()> after;
    };
    struct FlagRow {
        QCheckBox* box;
        ReadFlag read;
    };
    struct ColourRow {
        QLineEdit* box;
        ColourSwatchButton* swatch;
        QString label;
        ReadColour read;
        WriteColour write;
    };
    struct ListRow {
        QComboBox* list;
        ReadIndex read;
    };

    void CommitRow(size_t row);
    void CommitColour(size_t row);
    void ShowColour(const ColourRow& row, const Math::vec3& colour);

    ProjectTavrin::SettingsExchange& m_settings;
    QLabel* m_message;
    std::vector<NumberRow> m_rows;
    std::vector<NumberGroup> m_groups;
    std::vector<FlagRow> m_flags;
    std::vector<ColourRow> m_colours;
    std::vector<ListRow> m_lists;
};

}  // namespace TavrinApp
