#include "app/SliderField.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace TavrinApp {

QString ShowNumber(double value) { return QLocale::c().toString(value, 'g', 6); }

SliderField::SliderField(const QString& name, double min, double max, bool whole, QWidget* parent)
    : QWidget(parent), m_min(min), m_max(max), m_whole(whole) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(name + "Slider");
    if (whole) m_slider->setRange(int(std::ceil(min)), int(std::floor(max)));
    else m_slider->setRange(0, kSteps);
    m_box = new QLineEdit(this);
    m_box->setObjectName(name);
    m_box->setToolTip(tr("A number from %1 to %2").arg(ShowNumber(min), ShowNumber(max)));
    m_box->setMaximumWidth(90);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_box);
    connect(m_slider, &QSlider::valueChanged, this, [this](int position) { emit slid(ValueAt(position)); });
    connect(m_box, &QLineEdit::editingFinished, this, [this] { emit typed(); });
}

double SliderField::ValueAt(int position) const {
    if (m_whole) return double(position);
    return m_min + (m_max - m_min) * double(position) / kSteps;
}

void SliderField::Show(double value) {
    m_box->setText(ShowNumber(value));
    const double clamped = std::clamp(value, m_min, m_max);
    const int position = m_whole || m_max <= m_min ? int(std::lround(clamped))
                                                   : int(std::lround((clamped - m_min) / (m_max - m_min) * kSteps));
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(position);
}

}  // namespace TavrinApp
