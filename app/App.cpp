#include "app/App.h"

#include <exception>

#include "app/AppIcon.h"
#include "core/MessageLog.h"

namespace TavrinApp {

App::App(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tavrin"));
    setOrganizationName(QStringLiteral("Tavrin"));
    setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    setDesktopFileName(QStringLiteral("tavrin"));
    setWindowIcon(AppIcon());
}

bool App::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        MessageLog::Instance().AppendUtf8(error.what());
    } catch (...) {
        MessageLog::Instance().AppendUtf8("Unknown error");
    }
    return false;
}

}  // namespace TavrinApp
