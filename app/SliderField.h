#pragma once
// A number control: a slider for dragging and a box that shows the value as a number and takes
// a typed one. The field itself checks nothing; its owner parses the text, refuses or accepts it
// and shows the accepted value back (Show). The box carries the field's object name, the slider
// the same name followed by "Slider".
#include <QWidget>

class QLineEdit;
class QSlider;

namespace TavrinApp {

class SliderField : public QWidget {
    Q_OBJECT
public:
    /// `whole`: the slider stops at whole numbers only (counts); otherwise it has kSteps stops
    /// from `min` to `max`.
    SliderField(const QString& name, double min, double max, bool whole, QWidget* parent = nullptr);

    static constexpr int kSteps = 1000;

    QLineEdit* Box() const { return m_box; }
    QSlider* Slider() const { return m_slider; }
    /// Shows `value` in the box and puts the slider at its nearest stop, without signals.
    void Show(double value);
    /// The value of a slider position.
    double ValueAt(int position) const;

signals:
    /// The user moved the slider (on release, where tracking is off) to `value`.
    void slid(double value);
    /// The user finished typing in the box.
    void typed();

private:
    double m_min;
    double m_max;
    bool m_whole;
    QSlider* m_slider;
    QLineEdit* m_box;
};

/// The text the number controls show for `value`.
QString ShowNumber(double value);

}  // namespace TavrinApp
