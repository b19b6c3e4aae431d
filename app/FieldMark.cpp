#include "app/FieldMark.h"

#include <QVariant>
#include <QWidget>

namespace TavrinApp {
namespace {

constexpr const char* kMarked = "badValue";
constexpr const char* kUsualToolTip = "usualToolTip";

}  // namespace

void MarkFieldProblem(QWidget* field, const QString& problem) {
    const bool bad = !problem.isEmpty();
    const bool wasBad = HasFieldProblem(field);
    // The field's own hint is put aside while the problem stands in its place.
    if (bad && !wasBad) field->setProperty(kUsualToolTip, field->toolTip());
    field->setProperty(kMarked, bad);
    field->setStyleSheet(bad ? QStringLiteral("border: 1px solid #d03030;") : QString());
    if (bad)
        field->setToolTip(problem);
    else if (wasBad)
        field->setToolTip(field->property(kUsualToolTip).toString());
}

bool HasFieldProblem(const QWidget* field) { return field->property(kMarked).toBool(); }

}  // namespace TavrinApp
