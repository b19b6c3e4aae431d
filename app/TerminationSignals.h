#pragma once
// SIGTERM and SIGINT (a `kill`, Ctrl-C in the terminal, a desktop session or service manager
// ending) close the player as its window's close does. The handlers only write a byte into a
// pipe; the UI thread reads it and emits `requested`.
#include <QObject>

class QSocketNotifier;

namespace TavrinApp {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    /// Installs the handlers. Call once, as early as possible: a signal that comes before the
    /// object exists is kept and reported once it does.
    static void Install();

    /// Reports the signals through `requested` from the UI thread's event loop (Install first).
    explicit TerminationSignals(QObject* parent = nullptr);

signals:
    void requested();

private:
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace TavrinApp
