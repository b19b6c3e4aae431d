#include "app/SettingControls.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

#include "app/SliderField.h"

namespace TavrinApp {

using ProjectTavrin::FrameSettings;

namespace {

void MarkField(QWidget* field, bool bad) {
    field->setProperty("badValue", bad);
    field->setStyleSheet(bad ? "border: 1px solid #d03030;" : "");
}

QString ColourText(const Math::vec3& c) { return ShowNumber(c.x) + ", " + ShowNumber(c.y) + ", " + ShowNumber(c.z); }

int Channel8(float c) { return int(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f)); }

}  // namespace

bool ParseTypedNumber(const QString& text, double& value) {
    bool ok = false;
    const double parsed = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

SettingControls::SettingControls(ProjectTavrin::SettingsExchange& settings, QLabel* message, QObject* parent)
    : QObject(parent), m_settings(settings), m_message(message) {}

size_t SettingControls::AddNumbers(QFormLayout* form, const std::vector<NumberRowSetup>& setups, ReadNumbers read,
                                   WriteNumbers write, std::function<void()> after) {
    const size_t group = m_groups.size();
    NumberGroup added{{}, std::move(read), std::move(write), std::move(after)};
    for (const NumberRowSetup& setup : setups) {
        QFormLayout* target = setup.form ? setup.form : form;
        auto* field = new SliderField(setup.name, setup.min, setup.max, setup.whole, target->parentWidget());
        target->addRow(setup.label, field);
        const size_t row = m_rows.size();
        m_rows.push_back({field, setup.label, setup.min, setup.max, setup.min, group, setup.whole});
        added.rows.push_back(row);
        connect(field, &SliderField::slid, this, [this, row](double value) { CommitRow(row, value); });
        connect(field, &SliderField::typed, this, [this, row] { CommitTyped(row); });
    }
    m_groups.push_back(std::move(added));
    return group;
}

size_t SettingControls::AddNumber(QFormLayout* form, const NumberRowSetup& setup, ReadNumber read, WriteNumber write,
                                  std::function<void()> after) {
    return AddNumbers(
        form, {setup}, [read = std::move(read)](const FrameSettings& s) { return Values{read(s)}; },
        [write = std::move(write)](FrameSettings& s, const Values& v) { write(s, v[0]); }, std::move(after));
}

QCheckBox* SettingControls::AddFlag(QFormLayout* form, const QString& name, const QString& label, ReadFlag read,
                                    WriteFlag write) {
    auto* box = new QCheckBox(label, form->parentWidget());
    box->setObjectName(name);
    form->addRow(box);
    m_flags.push_back({box, std::move(read)});
    connect(box, &QCheckBox::toggled, this,
            [this, write = std::move(write)](bool on) { m_settings.Edit([&](FrameSettings& s) { write(s, on); }); });
    return box;
}

void SettingControls::AddColour(QFormLayout* form, const QString& name, const QString& label, ReadColour read,
                                WriteColour write) {
    auto* row = new QWidget(form->parentWidget());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* box = new QLineEdit(row);
    box->setObjectName(name);
    box->setToolTip(tr("Red, green and blue, each from 0 to 1"));
    auto* preview = new QLabel(row);
    preview->setObjectName(name + "Preview");
    preview->setFixedSize(24, 16);
    auto* pick = new QPushButton(tr("Pick…"), row);
    pick->setObjectName(name + "Pick");
    layout->addWidget(box, 1);
    layout->addWidget(preview);
    layout->addWidget(pick);
    form->addRow(label, row);
    m_colours.push_back({box, preview, label, std::move(read), std::move(write)});
    const size_t index = m_colours.size() - 1;
    connect(box, &QLineEdit::editingFinished, this, [this, index] { CommitColour(index); });
    connect(pick, &QPushButton::clicked, this, [this, index, row] {
        ColourRow& colour = m_colours[index];
        const Math::vec3 now = colour.read(m_settings.Snapshot());
        const QColor chosen =
            QColorDialog::getColor(QColor(Channel8(now.x), Channel8(now.y), Channel8(now.z)), row, colour.label);
        if (!chosen.isValid()) return;
        const Math::vec3 picked{chosen.red() / 255.0f, chosen.green() / 255.0f, chosen.blue() / 255.0f};
        colour.box->setText(ColourText(picked));
        CommitColour(index);
    });
}

QComboBox* SettingControls::AddList(QFormLayout* form, const QString& name, const QString& label, const QStringList& items,
                                    ReadIndex read, std::function<void(int)> choose) {
    auto* list = new QComboBox(form->parentWidget());
    list->setObjectName(name);
    list->addItems(items);
    form->addRow(label, list);
    m_lists.push_back({list, std::move(read)});
    connect(list, &QComboBox::currentIndexChanged, this, std::move(choose));
    return list;
}

void SettingControls::CommitRow(size_t row, double value) {
    NumberRow& number = m_rows[row];
    // A count typed with a fraction is taken as its whole part, and shown so.
    number.value = number.whole ? std::trunc(value) : value;
    number.field->Show(number.value);
    CommitGroup(number.group);
    Accept(number.field->Box());
}

void SettingControls::CommitTyped(size_t row) {
    const NumberRow& number = m_rows[row];
    QLineEdit* box = number.field->Box();
    const QString text = box->text();
    double value = 0.0;
    if (!ParseTypedNumber(text, value)) {
        Refuse(box, tr("%1: \"%2\" is not a number.").arg(number.label, text.trimmed()));
        return;
    }
    if (value < number.min || value > number.max) {
        Refuse(box, tr("%1 must be between %2 and %3.").arg(number.label, ShowNumber(number.min), ShowNumber(number.max)));
        return;
    }
    CommitRow(row, value);
}

void SettingControls::CommitGroup(size_t group) {
    const NumberGroup& g = m_groups[group];
    const Values values = GroupValues(group);
    m_settings.Edit([&](FrameSettings& s) { g.write(s, values); });
    if (g.after) g.after();
}

SettingControls::Values SettingControls::GroupValues(size_t group) const {
    Values values;
    for (size_t row : m_groups[group].rows) values.push_back(m_rows[row].value);
    return values;
}

void SettingControls::CommitColour(size_t index) {
    const ColourRow& row = m_colours[index];
    const QStringList parts = row.box->text().split(',');
    Math::vec3 colour;
    bool good = parts.size() == 3;
    for (int i = 0; good && i < 3; ++i) {
        double value = 0.0;
        good = ParseTypedNumber(parts[i], value) && value >= 0.0 && value <= 1.0;
        colour[i] = float(value);
    }
    if (!good) {
        Refuse(row.box, tr("%1 needs three numbers from 0 to 1, separated by commas.").arg(row.label));
        return;
    }
    m_settings.Edit([&](FrameSettings& s) { row.write(s, colour); });
    ShowColour(row, colour);
    Accept(row.box);
}

void SettingControls::ShowColour(const ColourRow& row, const Math::vec3& colour) {
    row.box->setText(ColourText(colour));
    const QColor shown(Channel8(colour.x), Channel8(colour.y), Channel8(colour.z));
    row.preview->setStyleSheet("background-color: " + shown.name() + "; border: 1px solid #808080;");
    row.preview->setProperty("shownColour", shown);
}

void SettingControls::ShowValues(const FrameSettings& current) {
    for (const NumberGroup& group : m_groups) {
        const Values values = group.read(current);
        for (size_t i = 0; i < group.rows.size() && i < values.size(); ++i) {
            NumberRow& row = m_rows[group.rows[i]];
            row.value = values[i];
            row.field->Show(values[i]);
            MarkField(row.field->Box(), false);
        }
    }
    for (const ColourRow& row : m_colours) {
        ShowColour(row, row.read(current));
        MarkField(row.box, false);
    }
    for (const FlagRow& row : m_flags) {
        const QSignalBlocker quiet(row.box);
        row.box->setChecked(row.read(current));
    }
    for (const ListRow& row : m_lists) {
        const QSignalBlocker quiet(row.list);
        row.list->setCurrentIndex(row.read(current));
    }
    m_message->clear();
}

void SettingControls::Refuse(QWidget* field, const QString& message) {
    MarkField(field, true);
    m_message->setText(message);
}

void SettingControls::Accept(QWidget* field) {
    MarkField(field, false);
    m_message->clear();
}

}  // namespace TavrinApp
