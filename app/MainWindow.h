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
    /// Lets go of the engine as a close does, when the window goes without being closed.
    ~MainWindow() override;

    /// Loads the scene named on the command line (nothing when the engine did not start).
    void OpenStartScene(const StartScene& scene);
    MainPage* Page() const { return m_page; }
    ViewportWindow* Viewport() const { return m_viewport; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowStartFailure(const QString& reason);
    /// Finishes a running export, stops the render loop, waits for the scene task and detaches
    /// the viewport from the engine, before the viewport's surface goes; once only.
    void ReleaseEngine();

    MainPage* m_page = nullptr;
    ViewportWindow* m_viewport = nullptr;
    QWidget* m_viewportContainer = nullptr;
    bool m_engineReleased = false;
};

}  // namespace TavrinApp
