#include "app/ColourSwatchButton.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace TavrinApp {
namespace {

int SwatchChannel(float value, SwatchChannels channels) {
    // The comparison also sends NaN to 0.
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    if (channels == SwatchChannels::Rounded) return static_cast<int>(std::lround(static_cast<double>(value) * 255.0));
    // Truncated, with the material file's small bias: a channel that came from byte k (k / 255
    // as a float, which may land just below k) shows as k again.
    return static_cast<int>(static_cast<double>(value) * 255.0 + 1e-3);
}

}  // namespace

QColor PickColourWithDialog(QWidget* parent, const QColor& initial, const QString& title) {
    return QColorDialog::getColor(initial, parent, title);
}

QColor SwatchOf(const Math::vec3& colour, SwatchChannels channels) {
    return QColor(SwatchChannel(colour.x, channels), SwatchChannel(colour.y, channels), SwatchChannel(colour.z, channels),
                  255);
}

Math::vec3 ColourOf(const QColor& picked) {
    return {picked.red() / 255.0f, picked.green() / 255.0f, picked.blue() / 255.0f};
}

ColourSwatchButton::ColourSwatchButton(const QString& name, const QString& text, SwatchChannels channels,
                                       const QString& nameSuffix, QWidget* parent)
    : QPushButton(text, parent), m_channels(channels) {
    setObjectName(name + nameSuffix);
    ShowColour(m_colour);
}

void ColourSwatchButton::ShowColour(const Math::vec3& colour) {
    m_colour = colour;
    m_swatch = SwatchOf(colour, m_channels);
    QPixmap swatch(24, 16);
    swatch.fill(m_swatch);
    // A frame, so a white swatch still shows on a light button.
    QPainter frame(&swatch);
    frame.setPen(QColor(96, 96, 96));
    frame.drawRect(0, 0, swatch.width() - 1, swatch.height() - 1);
    frame.end();
    setIcon(QIcon(swatch));
    setIconSize(swatch.size());
}

bool ColourSwatchButton::AskForColour(const ColourPicker& picker, const QString& title) {
    const QColor picked = picker ? picker(this, m_swatch, title) : QColor();
    if (!picked.isValid()) return false;
    ShowColour(ColourOf(picked));
    return true;
}

}  // namespace TavrinApp
