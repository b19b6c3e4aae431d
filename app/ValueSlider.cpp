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

QString ValueText(double value, int digits) { return QLocale::c().toString(value, 'g', digits); }

bool ParseFieldNumber(const QString& text, double& value) {
    bool ok = false;
    const double parsed = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(parsed) || std::fabs(parsed) > FLT_MAX) return false;
    value = parsed;
    return true;
}

ValueSlider::ValueSlider(const QString& name, const QString& label, ValueRange range, QWidget* parent)
    : ValueSlider(name, label, range, ValueSliderStyle{}, parent) {}

ValueSlider::ValueSlider(const QString& name, const QString& label, ValueRange range, const ValueSliderStyle& style,
                         QWidget* parent)
    : QWidget(parent), m_label(label), m_range(range), m_style(style) {
    setObjectName(name + "Row");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (style.captioned) {
        auto* caption = new QLabel(label, this);
        caption->setMinimumWidth(120);
        layout->addWidget(caption);
    }
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(name + "Slider");
    if (style.whole)
        m_slider->setRange(int(std::ceil(range.minimum)), int(std::floor(range.sliderMaximum)));
    else
        m_slider->setRange(0, kSliderSteps);
    m_box = new QLineEdit(this);
    m_box->setObjectName(style.boxName.isEmpty() ? name + "Box" : style.boxName);
    m_box->setToolTip(tr("A number from %1 to %2").arg(ValueText(range.minimum, style.digits),
                                                        ValueText(range.typedMaximum, style.digits)));
    m_box->setMaximumWidth(style.digits > 4 ? 90 : 64);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_box);
    connect(m_slider, &QSlider::valueChanged, this, &ValueSlider::SliderMoved);
    connect(m_box, &QLineEdit::editingFinished, this, &ValueSlider::TextTyped);
    ShowValue(range.minimum);
}

void ValueSlider::SetReportWhileDragging(bool report) { m_slider->setTracking(report); }

int ValueSlider::SliderPosition(double value) const {
    if (m_style.whole)
        return int(std::lround(std::clamp(value, double(m_slider->minimum()), double(m_slider->maximum()))));
    const double span = m_range.sliderMaximum - m_range.minimum;
    const double t = span > 0.0 ? (value - m_range.minimum) / span : 0.0;
    return static_cast<int>(std::lround(std::clamp(t, 0.0, 1.0) * kSliderSteps));
}

double ValueSlider::ValueAt(int position) const {
    if (m_style.whole) return double(position);
    return m_range.minimum + (m_range.sliderMaximum - m_range.minimum) * position / kSliderSteps;
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
    m_box->setText(ValueText(m_value, m_style.digits));
    MarkFieldProblem(m_box, QString());
}

void ValueSlider::SliderMoved(int position) {
    if (m_showing) return;
    m_value = ValueAt(position);
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
        problem = tr("%1 must be between %2 and %3.")
                      .arg(m_label, ValueText(m_range.minimum, m_style.digits),
                           ValueText(m_range.typedMaximum, m_style.digits));
    if (!problem.isEmpty()) {
        MarkFieldProblem(m_box, problem);
        emit refused(problem);
        return;
    }
    if (m_style.whole) typed = std::trunc(typed);
    // Pressing Return on the value already shown is no edit.
    if (typed == m_value) {
        ShowText();
        emit unchanged();
        return;
    }
    ShowValue(typed);
    emit edited(m_value);
}

}  // namespace TavrinApp
