#include "app/SettingControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>


#include "app/ColourSwatchButton.h"
#include "app/FieldMark.h"
#include "app/ValueSlider.h"

namespace TavrinApp {

using ProjectTavrin::FrameSettings;

namespace {

// The render settings hold values like 100000 and 6.2832, shown whole.
constexpr int kDigits = 6;

QString ColourText(const Math::vec3& c) {
    return ValueText(c.x, kDigits) + ", " + ValueText(c.y, kDigits) + ", " + ValueText(c.z, kDigits);
}

}  // namespace

SettingControls::SettingControls(ProjectTavrin::SettingsExchange& settings, QLabel* message, QObject* parent)
    : QObject(parent), m_settings(settings), m_message(message) {}

size_t SettingControls::AddNumbers(QFormLayout* form, const std::vector<NumberRowSetup>& setups, ReadNumbers read,
                                   WriteNumbers write, std::function<void()> after) {
    const size_t group = m_groups.size();
    NumberGroup added{{}, std::move(read), std::move(write), std::move(after)};
    for (const NumberRowSetup& setup : setups) {
        QFormLayout* target = setup.form ? setup.form : form;
        ValueSliderStyle style;
        style.whole = setup.whole;
        style.captioned = false;
        style.boxName = setup.name;
        style.digits = kDigits;
        const ValueRange range{setup.min, setup.max, setup.max};
        auto* field = new ValueSlider(setup.name, setup.label, range, style, target->parentWidget());
        target->addRow(setup.label, field);
        const size_t row = m_rows.size();
        m_rows.push_back({field, group});
        added.rows.push_back(row);
        connect(field, &ValueSlider::edited, this, [this, row] { CommitRow(row); });
        connect(field, &ValueSlider::unchanged, m_message, &QLabel::clear);
        connect(field, &ValueSlider::refused, m_message, &QLabel::setText);
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
    // Wide enough for three values with a few decimals each, so "1, 1, 1" never shows as ", 1, 1".
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0.000, 0.000, 0.000")) + 16);
    auto* swatch = new ColourSwatchButton(name, tr("Pick…"), SwatchChannels::Rounded, QStringLiteral("Pick"), row);
    layout->addWidget(box, 1);
    layout->addWidget(swatch);
    form->addRow(label, row);
    m_colours.push_back({box, swatch, label, std::move(read), std::move(write)});
    const size_t index = m_colours.size() - 1;
    connect(box, &QLineEdit::editingFinished, this, [this, index] { CommitColour(index); });
    connect(swatch, &QPushButton::clicked, this, [this, index] {
        ColourRow& colour = m_colours[index];
        // The settings may have changed since the page last showed them; the dialog starts from them.
        colour.swatch->ShowColour(colour.read(m_settings.Snapshot()));
        if (!colour.swatch->AskForColour(PickColourWithDialog, colour.label)) return;
        colour.box->setText(ColourText(colour.swatch->Colour()));
        colour.box->home(false);
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

void SettingControls::CommitRow(size_t row) {
    CommitGroup(m_rows[row].group);
    m_message->clear();
}

void SettingControls::CommitGroup(size_t group) {
    const NumberGroup& g = m_groups[group];
    const Values values = GroupValues(group);
    m_settings.Edit([&](FrameSettings& s) { g.write(s, values); });
    if (g.after) g.after();
}

SettingControls::Values SettingControls::GroupValues(size_t group) const {
    Values values;
    for (size_t row : m_groups[group].rows) values.push_back(m_rows[row].field->Value());
    return values;
}

void SettingControls::CommitColour(size_t index) {
    const ColourRow& row = m_colours[index];
    const QStringList parts = row.box->text().split(',');
    Math::vec3 colour;
    bool good = parts.size() == 3;
    for (int i = 0; good && i < 3; ++i) {
        double value = 0.0;
        good = ParseFieldNumber(parts[i], value) && value >= 0.0 && value <= 1.0;
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
    row.box->home(false);  // the start of the text in view, not its end
    row.swatch->ShowColour(colour);
}

void SettingControls::ShowValues(const FrameSettings& current) {
    for (const NumberGroup& group : m_groups) {
        const Values values = group.read(current);
        for (size_t i = 0; i < group.rows.size() && i < values.size(); ++i) {
            m_rows[group.rows[i]].field->ShowValue(values[i]);
        }
    }
    for (const ColourRow& row : m_colours) {
        ShowColour(row, row.read(current));
        MarkFieldProblem(row.box, QString());
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
    MarkFieldProblem(field, message);
    m_message->setText(message);
}

void SettingControls::Accept(QWidget* field) {
    MarkFieldProblem(field, QString());
    m_message->clear();
}

}  // namespace TavrinApp
