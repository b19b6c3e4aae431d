#pragma once
// How every page marks a field whose text it refused: a red frame, and the problem as the field's
// tooltip. An empty problem clears the mark and brings back the tooltip the field had before it
// was marked.
#include <QString>

class QWidget;

namespace TavrinApp {

void MarkFieldProblem(QWidget* field, const QString& problem);
/// Whether the field is marked.
bool HasFieldProblem(const QWidget* field);

}  // namespace TavrinApp
