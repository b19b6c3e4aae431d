#include "app/ValueSlider.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "app/FieldMark.h"

namespace TavrinApp {

QString ValueText(double value) { return QLocale::c().toString(value, 'g', 4); }

bool ParseFieldNumber(const QString& text, double& value) {
    bool ok = false;
    const double parsed = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(parsed) || std::fabs(parsed) > FLT_MAX) return false;
    value = parsed;
    return true;
}

ValueSlider::ValueSlider(const QString& name, const QString& label, ValueRange range, QWidget* parent)
    : QWidget(parent), m_label(label), m_range(range) {
    setObjectName(name + "Row");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(label, this);
    caption->setMinimumWidth(120);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(name + "Slider");
    m_slider->setRange(0, kSliderSteps);
    m_box = new QLineEdit(this);
    m_box->setObjectName(name + "Box");
    m_box->setMaximumWidth(64);
    layout->addWidget(caption);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_box);
    connect(m_slider, &QSlider::valueChanged, this, &ValueSlider::SliderMoved);
    connect(m_box, &QLineEdit::editingFinished, this, &ValueSlider::TextTyped);
    ShowValue(range.minimum);
}

int ValueSlider::SliderPosition(double value) const {
    const double span = m_range.sliderMaximum - m_range.minimum;
    const double t = span > 0.0 ? (value - m_range.minimum) / span : 0.0;
    return static_cast<int>(std::lround(std::clamp(t, 0.0, 1.0) * kSliderSteps));
}

void ValueSlider::ShowValue(double value) {
    m_value = value;
    m_showing = true;
    m_slider->setValue(SliderPosition(value));
    m_showing = false;
    ShowText();
}

void ValueSlider::ShowText() {
    const QSignalBlocker quiet(m_box);
    m_box->setText(ValueText(m_value));
    MarkFieldProblem(m_box, QString());
}

void ValueSlider::SliderMoved(int position) {
    if (m_showing) return;
    m_value = m_range.minimum + (m_range.sliderMaximum - m_range.minimum) * position / kSliderSteps;
    ShowText();
    emit edited(m_value);
}

void ValueSlider::TextTyped() {
    const QString text = m_box->text().trimmed();
    double typed = 0.0;
    QString problem;
    if (text.isEmpty())
        problem = tr("%1: type a number.").arg(m_label);
    else if (!ParseFieldNumber(text, typed))
        problem = tr("%1: \"%2\" is not a number.").arg(m_label, text);
    else if (typed < m_range.minimum || typed > m_range.typedMaximum)
        problem = tr("%1 must be between %2 and %3.").arg(m_label, ValueText(m_range.minimum), ValueText(m_range.typedMaximum));
    if (!problem.isEmpty()) {
        MarkFieldProblem(m_box, problem);
        emit refused(problem);
        return;
    }
    // Pressing Return on the value already shown is no edit.
    if (typed == m_value) {
        ShowText();
        return;
    }
    ShowValue(typed);
    emit edited(m_value);
}

}  // namespace TavrinApp
