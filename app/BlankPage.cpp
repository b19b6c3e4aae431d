#include "app/BlankPage.h"

namespace TavrinApp {

BlankPage::BlankPage(QWidget* parent) : QWidget(parent) {}

}  // namespace TavrinApp
