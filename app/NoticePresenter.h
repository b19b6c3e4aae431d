#pragma once
// How the pages show their one-button dialogs. The program shows a modal message box; tests
// put a recorder in its place, since a modal box would wait for a click that never comes.
#include <functional>

#include "app/UiText.h"

class QWidget;

namespace TavrinApp {

using NoticePresenter = std::function<void(QWidget* parent, const Notice& notice)>;

/// A modal QMessageBox with the notice's title, text and one button.
void ShowNoticeBox(QWidget* parent, const Notice& notice);

}  // namespace TavrinApp
