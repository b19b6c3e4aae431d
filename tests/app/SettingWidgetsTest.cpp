// The widgets every settings page builds on: the number field (kept value, whole-number counts,
// release-only reporting, refusals), the mark of a refused field, and the colour swatch.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "app/ColourSwatchButton.h"
#include "app/FieldMark.h"
#include "app/ValueSlider.h"
#include "tests/app/AppTestSupport.h"

namespace {

using TavrinApp::ColourSwatchButton;
using TavrinApp::SwatchChannels;
using TavrinApp::ValueSlider;
using TavrinApp::ValueSliderStyle;

class SettingWidgetsTest : public testing::Test {
protected:
    SettingWidgetsTest() { AppTest::EnsureApp(); }

    /// Records what a field reports.
    struct Reports {
        std::vector<double> edits;
        std::vector<QString> refusals;
        int unchanged = 0;
    };

    static void Listen(ValueSlider& field, Reports& reports) {
        QObject::connect(&field, &ValueSlider::edited, [&reports](double v) { reports.edits.push_back(v); });
        QObject::connect(&field, &ValueSlider::refused, [&reports](const QString& p) { reports.refusals.push_back(p); });
        QObject::connect(&field, &ValueSlider::unchanged, [&reports] { ++reports.unchanged; });
    }

    static void Type(ValueSlider& field, const QString& text) {
        field.Box()->setText(text);
        emit field.Box()->editingFinished();
    }

    static ValueSliderStyle CountStyle() {
        ValueSliderStyle style;
        style.whole = true;
        style.captioned = false;
        style.boxName = "samples";
        style.digits = 6;
        return style;
    }
};

TEST_F(SettingWidgetsTest, ACountStopsAtWholeNumbersAndCutsATypedFraction) {
    ValueSlider field("samples", "Samples", {1.0, 64.0, 64.0}, CountStyle());
    Reports reports;
    Listen(field, reports);
    EXPECT_EQ(field.Box()->objectName(), "samples");
    EXPECT_EQ(field.Slider()->objectName(), "samplesSlider");
    EXPECT_EQ(field.findChild<QLabel*>(), nullptr) << "the form shows the label";
    EXPECT_EQ(field.Slider()->minimum(), 1);
    EXPECT_EQ(field.Slider()->maximum(), 64);

    Type(field, "3.75");
    ASSERT_EQ(reports.edits.size(), 1u);
    EXPECT_EQ(reports.edits[0], 3.0);
    EXPECT_EQ(field.Box()->text(), "3");
    EXPECT_EQ(field.Slider()->value(), 3);

    field.Slider()->setValue(40);
    ASSERT_EQ(reports.edits.size(), 2u);
    EXPECT_EQ(reports.edits[1], 40.0);
    EXPECT_EQ(field.Box()->text(), "40");

    // The range is checked before the fraction is cut: 64.5 is past the end.
    Type(field, "64.5");
    EXPECT_EQ(reports.refusals.size(), 1u);
    EXPECT_EQ(field.Value(), 40.0);
    field.ShowValue(12);
    EXPECT_EQ(field.Slider()->value(), 12);
    EXPECT_EQ(reports.edits.size(), 2u) << "showing a value is no edit";
}

TEST_F(SettingWidgetsTest, ReleaseOnlyReportingSendsOneEditPerDrag) {
    ValueSlider field("extent", "Extent", {0.0, 100.0, 100.0});
    field.SetReportWhileDragging(false);
    Reports reports;
    Listen(field, reports);
    QSlider* slider = field.Slider();
    slider->setSliderDown(true);
    for (int position : {100, 200, 300}) slider->setSliderPosition(position);
    EXPECT_TRUE(reports.edits.empty()) << "nothing while the slider is held";
    slider->setSliderDown(false);
    ASSERT_EQ(reports.edits.size(), 1u);
    EXPECT_DOUBLE_EQ(reports.edits[0], 30.0);

    field.SetReportWhileDragging(true);
    slider->setSliderDown(true);
    slider->setSliderPosition(500);
    EXPECT_EQ(reports.edits.size(), 2u);
    slider->setSliderDown(false);
}

TEST_F(SettingWidgetsTest, RefusedTextIsMarkedAndTheHeldValueClearsTheMark) {
    ValueSlider field("emission", "Emission", {0.0, 10.0, 10000.0});
    Reports reports;
    Listen(field, reports);
    const QString hint = field.Box()->toolTip();
    EXPECT_FALSE(hint.isEmpty()) << "the box says its range";

    Type(field, "2.123456");
    ASSERT_EQ(reports.edits.size(), 1u);
    EXPECT_EQ(field.Value(), 2.123456) << "kept whole, not as shown";
    EXPECT_EQ(field.Box()->text(), "2.123");

    Type(field, "25");
    EXPECT_EQ(field.Value(), 25.0) << "typed past the slider's end";
    EXPECT_EQ(field.Slider()->value(), ValueSlider::kSliderSteps);

    for (const char* bad : {"", "abc", "1e39", "-0.5", "10001"}) {
        const size_t before = reports.refusals.size();
        Type(field, bad);
        EXPECT_EQ(reports.refusals.size(), before + 1) << bad;
        EXPECT_TRUE(TavrinApp::HasFieldProblem(field.Box())) << bad;
        EXPECT_EQ(field.Box()->toolTip(), reports.refusals.back()) << bad;
    }
    EXPECT_EQ(field.Value(), 25.0);
    EXPECT_EQ(reports.edits.size(), 2u);

    Type(field, " 25 ");
    EXPECT_EQ(reports.unchanged, 1);
    EXPECT_EQ(reports.edits.size(), 2u) << "the value held is no edit";
    EXPECT_FALSE(TavrinApp::HasFieldProblem(field.Box()));
    EXPECT_EQ(field.Box()->toolTip(), hint);
    EXPECT_EQ(field.Box()->text(), "25");
}

TEST_F(SettingWidgetsTest, AFieldMarkKeepsTheFieldsOwnTooltipAside) {
    QLineEdit field;
    field.setToolTip("In units of 1024 bit/s");
    TavrinApp::MarkFieldProblem(&field, QString());
    EXPECT_EQ(field.toolTip(), "In units of 1024 bit/s") << "clearing an unmarked field leaves its tooltip";
    EXPECT_FALSE(TavrinApp::HasFieldProblem(&field));

    TavrinApp::MarkFieldProblem(&field, "too big");
    TavrinApp::MarkFieldProblem(&field, "not a number");
    EXPECT_TRUE(TavrinApp::HasFieldProblem(&field));
    EXPECT_TRUE(field.property("badValue").toBool());
    EXPECT_EQ(field.toolTip(), "not a number");
    EXPECT_FALSE(field.styleSheet().isEmpty());

    TavrinApp::MarkFieldProblem(&field, QString());
    EXPECT_FALSE(TavrinApp::HasFieldProblem(&field));
    EXPECT_EQ(field.toolTip(), "In units of 1024 bit/s") << "a second mark must not put the first problem aside";
    EXPECT_TRUE(field.styleSheet().isEmpty());
}

TEST_F(SettingWidgetsTest, SwatchChannelsTruncateOrRoundAndEveryByteComesBack) {
    const Math::vec3 half{0.5f, 0.25f, 0.999f};
    EXPECT_EQ(TavrinApp::SwatchOf(half, SwatchChannels::Truncated), QColor(127, 63, 254));
    EXPECT_EQ(TavrinApp::SwatchOf(half, SwatchChannels::Rounded), QColor(128, 64, 255));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (SwatchChannels rule : {SwatchChannels::Truncated, SwatchChannels::Rounded}) {
        EXPECT_EQ(TavrinApp::SwatchOf({nan, -3.0f, 7.0f}, rule), QColor(0, 0, 255));
        for (int k = 0; k < 256; ++k) {
            const QColor byte(k, 255 - k, k / 2);
            EXPECT_EQ(TavrinApp::SwatchOf(TavrinApp::ColourOf(byte), rule), byte) << k;
        }
    }
}

TEST_F(SettingWidgetsTest, AskingForAColourStartsFromTheSwatchAndCancelKeepsIt) {
    ColourSwatchButton button("SunColor", "Pick…", SwatchChannels::Rounded, "Pick");
    EXPECT_EQ(button.objectName(), "SunColorPick");
    button.ShowColour({1.0f, 0.5f, 0.25f});
    QColor initial;
    QString title;
    QColor answer;
    const TavrinApp::ColourPicker picker = [&](QWidget*, const QColor& start, const QString& caption) {
        initial = start;
        title = caption;
        return answer;
    };

    EXPECT_FALSE(button.AskForColour(picker, "Sun colour"));
    EXPECT_EQ(initial, QColor(255, 128, 64));
    EXPECT_EQ(title, "Sun colour");
    EXPECT_FLOAT_EQ(button.Colour().y, 0.5f) << "a cancelled dialog changes nothing";

    answer = QColor(10, 20, 30);
    EXPECT_TRUE(button.AskForColour(picker, "Sun colour"));
    EXPECT_FLOAT_EQ(button.Colour().x, 10.0f / 255.0f);
    EXPECT_FLOAT_EQ(button.Colour().z, 30.0f / 255.0f);
    EXPECT_EQ(button.SwatchColour(), QColor(10, 20, 30));

    EXPECT_FALSE(button.AskForColour(TavrinApp::ColourPicker{}, "Sun colour")) << "no picker, no change";
    EXPECT_EQ(button.SwatchColour(), QColor(10, 20, 30));
}

}  // namespace
