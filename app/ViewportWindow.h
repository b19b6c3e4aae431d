#pragma once
// The viewport: a native Vulkan window whose surface the engine presents to. Qt is handed the
// engine's own Vulkan instance, so the surface it makes belongs to the engine's device. Key and
// pointer events go to the engine's keyboard and mouse as virtual-key codes and raw deltas.
#include <QPoint>
#include <QStringList>
#include <QVulkanInstance>
#include <QWindow>

#include <memory>

namespace Engine {
class EngineCore;
}
namespace ProjectTavrin {
class MainRenderer;
}

namespace TavrinApp {

class ViewportWindow : public QWindow {
    Q_OBJECT
public:
    explicit ViewportWindow(std::shared_ptr<Engine::EngineCore> core);
    ~ViewportWindow() override;

    /// The engine object the window feeds; the surface is handed over once the window shows.
    void Bind(ProjectTavrin::MainRenderer* renderer);
    /// Pointer input reaches the camera only once a scene is on its way.
    void SetPointerInputEnabled(bool enabled) { m_pointerInput = enabled; }
    /// Moves the engine back to its offscreen output; must run before the window goes, since
    /// the surface goes with it.
    void Detach();

signals:
    void playPauseRequested();
    void stopRequested();
    /// The Z key: frame the models.
    void frameModelsRequested();
    /// Local files dropped on the viewport (the page beside it takes drops itself).
    void filesDropped(const QStringList& paths);

protected:
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    void AttachSurface();
    void PixelSize(float& width, float& height) const;
    void ForwardKey(QKeyEvent* event, bool down);
    void ForwardButtons(QMouseEvent* event);

    std::shared_ptr<Engine::EngineCore> m_core;
    ProjectTavrin::MainRenderer* m_renderer = nullptr;
    QVulkanInstance m_vulkan;
    bool m_surfaceAttached = false;
    bool m_pointerInput = false;
    bool m_hasLastPointer = false;
    QPoint m_lastPointer;
};

}  // namespace TavrinApp
