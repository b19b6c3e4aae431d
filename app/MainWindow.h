#pragma once
// The one main window: the main page with its viewport, or, when the engine cannot start (no
// display or no Vulkan device), a page that says why.
#include <QMainWindow>

#include "app/CommandLine.h"

namespace TavrinApp {

class MainPage;
class ViewportWindow;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    /// Loads the scene named on the command line (nothing when the engine did not start).
    void OpenStartScene(const StartScene& scene);
    MainPage* Page() const { return m_page; }
    ViewportWindow* Viewport() const { return m_viewport; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowStartFailure(const QString& reason);

    MainPage* m_page = nullptr;
    ViewportWindow* m_viewport = nullptr;
    QWidget* m_viewportContainer = nullptr;
};

}  // namespace TavrinApp
