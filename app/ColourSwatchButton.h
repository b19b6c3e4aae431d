#pragma once
// A button that shows a colour as a swatch beside its text; pressing it is how a page asks the
// user for a new colour (AskForColour). The colour is kept as 0-1 floats, as the settings and the
// materials hold it; a picked 8-bit colour becomes channel / 255.
#include <QPushButton>

#include <functional>

#include "core/Math.h"

namespace TavrinApp {

/// Asks the user for a colour; an invalid colour means the user cancelled.
using ColourPicker = std::function<QColor(QWidget* parent, const QColor& initial, const QString& title)>;
QColor PickColourWithDialog(QWidget* parent, const QColor& initial, const QString& title);

/// How a 0-1 channel becomes the swatch's byte.
enum class SwatchChannels {
    /// x 255 truncated, as the material file writes it: a stored colour shows the bytes it saves as.
    Truncated,
    /// x 255 to the nearest byte.
    Rounded,
};

class ColourSwatchButton : public QPushButton {
    Q_OBJECT
public:
    /// The button is named name + `nameSuffix`.
    ColourSwatchButton(const QString& name, const QString& text, SwatchChannels channels = SwatchChannels::Truncated,
                       const QString& nameSuffix = QStringLiteral("Button"), QWidget* parent = nullptr);

    const Math::vec3& Colour() const { return m_colour; }
    /// Shows `colour` without reporting a change.
    void ShowColour(const Math::vec3& colour);
    /// The swatch's colour (alpha 255).
    QColor SwatchColour() const { return m_swatch; }
    /// Asks `picker` for a colour, starting from the swatch; a picked one is shown and kept.
    /// False where the user cancelled.
    bool AskForColour(const ColourPicker& picker, const QString& title);

private:
    SwatchChannels m_channels;
    Math::vec3 m_colour{1, 1, 1};
    QColor m_swatch;
};

/// A colour as a swatch shows it: each channel x 255, clamped to 0..255, NaN as 0.
QColor SwatchOf(const Math::vec3& colour, SwatchChannels channels = SwatchChannels::Truncated);
/// A picked colour as the settings store it: each channel / 255.
Math::vec3 ColourOf(const QColor& picked);

}  // namespace TavrinApp
