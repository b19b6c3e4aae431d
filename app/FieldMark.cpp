#include "app/FieldMark.h"

#include <QVariant>
#include <QWidget>

namespace TavrinApp {

void MarkFieldProblem(QWidget* field, const QString& problem) {
    const bool bad = !problem.isEmpty();
    field->setProperty("badValue", bad);
    field->setStyleSheet(bad ? QStringLiteral("border: 1px solid #d03030;") : QString());
    field->setToolTip(problem);
}

bool HasFieldProblem(const QWidget* field) { return field->property("badValue").toBool(); }

}  // namespace TavrinApp
