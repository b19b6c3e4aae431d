#pragma once
// The application object. Its event dispatch is the program's last line of defence: an exception
// escaping any handler or slot becomes a message in MessageLog and the program goes on.
#include <QApplication>

namespace TavrinApp {

class App : public QApplication {
    Q_OBJECT
public:
    App(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace TavrinApp
