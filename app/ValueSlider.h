#pragma once
// One number edited two ways: a slider over its usual range and a text box that shows the value
// and takes a typed one. The value itself is kept as a double, so showing a value and writing it
// back does not round it to a slider step; a typed value may go beyond the slider's end (up to
// the typed limit), and the slider then stands at its end. A typed text that is not a number, or
// is outside [minimum, typed maximum], is marked at the box and changes nothing.
#include <QWidget>

class QLabel;
class QLineEdit;
class QSlider;

namespace TavrinApp {

struct ValueRange {
    double minimum = 0.0;
    double sliderMaximum = 1.0;
    double typedMaximum = 1.0;
};

/// How a field looks and counts, where a page needs other than the defaults.
struct ValueSliderStyle {
    /// Counts: the slider stops at whole numbers and a typed fraction is taken as its whole part.
    bool whole = false;
    /// Whether the field shows its label itself; off where a form shows it beside the row.
    bool captioned = true;
    /// The box's object name; empty: the field's name + "Box".
    QString boxName;
    /// Significant digits the box shows.
    int digits = 4;
};

class ValueSlider : public QWidget {
    Q_OBJECT
public:
    /// `name` names the children: name + "Row" (the field), name + "Slider" and the box.
    ValueSlider(const QString& name, const QString& label, ValueRange range, QWidget* parent = nullptr);
    ValueSlider(const QString& name, const QString& label, ValueRange range, const ValueSliderStyle& style,
                QWidget* parent = nullptr);

    double Value() const { return m_value; }
    /// Shows `value` in both controls without reporting an edit, and clears a refusal mark.
    void ShowValue(double value);
    /// Off: a drag reports its value once, when the slider is let go.
    void SetReportWhileDragging(bool report);

    QSlider* Slider() const { return m_slider; }
    QLineEdit* Box() const { return m_box; }

    static constexpr int kSliderSteps = 1000;

signals:
    /// The user moved the slider or typed an accepted value.
    void edited(double value);
    /// The typed value was the value already held: nothing changed, and the text stands again.
    void unchanged();
    /// A typed text was refused; `problem` says why.
    void refused(const QString& problem);

private:
    void SliderMoved(int position);
    void TextTyped();
    void ShowText();
    int SliderPosition(double value) const;
    double ValueAt(int position) const;

    QString m_label;
    ValueRange m_range;
    ValueSliderStyle m_style;
    double m_value = 0.0;
    bool m_showing = false;
    QSlider* m_slider = nullptr;
    QLineEdit* m_box = nullptr;
};

/// The text a value box shows: `digits` significant digits at most, C locale.
QString ValueText(double value, int digits = 4);

/// Parses a typed number: blanks around it are allowed, nothing else; false for anything that is
/// not a finite number that fits a float.
bool ParseFieldNumber(const QString& text, double& value);

}  // namespace TavrinApp
