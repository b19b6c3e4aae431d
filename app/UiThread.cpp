#include "app/UiThread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace TavrinApp {

void PostToUiThread(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !work) return;
    QMetaObject::invokeMethod(app, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

}  // namespace TavrinApp
