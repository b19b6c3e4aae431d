#include "app/ColourSwatchButton.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace TavrinApp {
namespace {

int SwatchChannel(float value) {
    // The comparison also sends NaN to 0.
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    // Truncated, with the material file's small bias: a channel that came from byte k (k / 255
    // as a float, which may land just below k) shows as k again.
    return static_cast<int>(static_cast<double>(value) * 255.0 + 1e-3);
}

}  // namespace

QColor SwatchOf(const Math::vec3& colour) {
    return QColor(SwatchChannel(colour.x), SwatchChannel(colour.y), SwatchChannel(colour.z), 255);
}

Math::vec3 ColourOf(const QColor& picked) {
    return {picked.red() / 255.0f, picked.green() / 255.0f, picked.blue() / 255.0f};
}

ColourSwatchButton::ColourSwatchButton(const QString& name, const QString& label, QWidget* parent) : QPushButton(label, parent) {
    setObjectName(name + "Button");
    ShowColour(m_colour);
}

void ColourSwatchButton::ShowColour(const Math::vec3& colour) {
    m_colour = colour;
    m_swatch = SwatchOf(colour);
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

}  // namespace TavrinApp
