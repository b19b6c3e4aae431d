#pragma once
// A button that shows a colour as a swatch beside its label; pressing it asks for a new colour
// (the page decides how). The colour is kept as 0-1 floats, as the material holds it; the swatch
// shows each channel x 255 truncated.
#include <QPushButton>

#include "core/Math.h"

namespace TavrinApp {

class ColourSwatchButton : public QPushButton {
    Q_OBJECT
public:
    ColourSwatchButton(const QString& name, const QString& label, QWidget* parent = nullptr);

    const Math::vec3& Colour() const { return m_colour; }
    /// Shows `colour` without reporting a change.
    void ShowColour(const Math::vec3& colour);
    /// The swatch's colour (alpha 255).
    QColor SwatchColour() const { return m_swatch; }

private:
    Math::vec3 m_colour{1, 1, 1};
    QColor m_swatch;
};

/// A material colour as the swatch shows it: each channel x 255, truncated, clamped to 0..255.
QColor SwatchOf(const Math::vec3& colour);
/// A picked colour as the material stores it: each channel / 255.
Math::vec3 ColourOf(const QColor& picked);

}  // namespace TavrinApp
