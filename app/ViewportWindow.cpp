#include "app/ViewportWindow.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "Engine/EngineCore.h"
#include "app/KeyTranslation.h"
#include "scene/MainRenderer.h"

namespace TavrinApp {

ViewportWindow::ViewportWindow(std::shared_ptr<Engine::EngineCore> core) : m_core(std::move(core)) {
    setSurfaceType(QSurface::VulkanSurface);
    m_vulkan.setVkInstance(static_cast<VkInstance>(m_core->GetDevice()->InstanceHandle()));
    if (!m_vulkan.create()) throw std::runtime_error("The window system cannot use the Vulkan instance");
    setVulkanInstance(&m_vulkan);
}

ViewportWindow::~ViewportWindow() { Detach(); }

void ViewportWindow::Bind(ProjectTavrin::MainRenderer* renderer) {
    m_renderer = renderer;
    if (isExposed()) AttachSurface();
}

void ViewportWindow::PixelSize(float& width, float& height) const {
    const qreal ratio = devicePixelRatio();
    width = std::max(1.0f, static_cast<float>(std::lround(size().width() * ratio)));
    height = std::max(1.0f, static_cast<float>(std::lround(size().height() * ratio)));
}

void ViewportWindow::AttachSurface() {
    if (m_surfaceAttached || !m_renderer) return;
    VkSurfaceKHR surface = QVulkanInstance::surfaceForWindow(this);
    if (surface == VK_NULL_HANDLE) return;
    float width, height;
    PixelSize(width, height);
    auto lock = m_renderer->LockEngine();
    m_core->SetSurface(reinterpret_cast<uint64_t>(surface), width, height);
    m_renderer->CreateSceneBuffers();
    m_surfaceAttached = true;
}

void ViewportWindow::Detach() {
    if (!m_surfaceAttached || !m_renderer) return;
    float width, height;
    PixelSize(width, height);
    auto lock = m_renderer->LockEngine();
    m_core->SetHeadlessOutput(width, height);
    m_renderer->CreateSceneBuffers();
    m_surfaceAttached = false;
}

void ViewportWindow::exposeEvent(QExposeEvent*) {
    if (isExposed()) AttachSurface();
}

void ViewportWindow::resizeEvent(QResizeEvent*) {
    if (!m_surfaceAttached) return;
    float width, height;
    PixelSize(width, height);
    m_renderer->Resize(width, height);
}

void ViewportWindow::ForwardKey(QKeyEvent* event, bool down) {
    if (!m_renderer) return;
    const VirtualKeyEvent key = TranslateKey(event->key(), event->nativeVirtualKey(),
                                             event->modifiers().testFlag(Qt::KeypadModifier));
    if (key.virtualKey == 0) return;
    m_renderer->GetKeyboard().OnKeyEvent(down ? Engine::KeyEventType::KeyDown : Engine::KeyEventType::KeyUp,
                                         key.virtualKey, key.scanCode, key.extended);
}

void ViewportWindow::keyPressEvent(QKeyEvent* event) {
    ForwardKey(event, true);
    if (!event->isAutoRepeat()) {
        if (event->key() == Qt::Key_Space) emit playPauseRequested();
        if (event->key() == Qt::Key_Home) emit stopRequested();
        if (event->key() == Qt::Key_Z) emit frameModelsRequested();
    }
}

void ViewportWindow::keyReleaseEvent(QKeyEvent* event) { ForwardKey(event, false); }

void ViewportWindow::ForwardButtons(QMouseEvent* event) {
    if (!m_renderer || !m_pointerInput) return;
    const Qt::MouseButtons held = event->buttons();
    Engine::PointerButtons buttons;
    buttons.left = held.testFlag(Qt::LeftButton);
    buttons.middle = held.testFlag(Qt::MiddleButton);
    buttons.right = held.testFlag(Qt::RightButton);
    buttons.x1 = held.testFlag(Qt::XButton1);
    buttons.x2 = held.testFlag(Qt::XButton2);
    m_renderer->GetMouse().OnPointerButtons(Engine::PointerDeviceType::Mouse, buttons);
}

void ViewportWindow::mousePressEvent(QMouseEvent* event) {
    requestActivate();
    ForwardButtons(event);
}

void ViewportWindow::mouseReleaseEvent(QMouseEvent* event) { ForwardButtons(event); }

void ViewportWindow::mouseMoveEvent(QMouseEvent* event) {
    ForwardButtons(event);
    if (!m_renderer || !m_pointerInput) return;
    m_renderer->GetCamera().inputMode.store(Engine::kInputOverViewport);
    // Device counts: the change of the pointer's position in physical pixels.
    const QPoint position = (event->globalPosition() * devicePixelRatio()).toPoint();
    if (m_hasLastPointer) {
        const QPoint delta = position - m_lastPointer;
        if (!delta.isNull()) m_renderer->GetMouse().OnRawMovement(delta.x(), delta.y());
    }
    m_lastPointer = position;
    m_hasLastPointer = true;
}

void ViewportWindow::wheelEvent(QWheelEvent* event) {
    if (!m_renderer || !m_pointerInput) return;
    m_renderer->GetMouse().OnWheel(Engine::PointerDeviceType::Mouse, event->angleDelta().y());
}

void ViewportWindow::focusInEvent(QFocusEvent*) {
    if (m_renderer) m_renderer->GetKeyboard().OnActivationChanged();
}

void ViewportWindow::focusOutEvent(QFocusEvent*) {
    if (m_renderer) m_renderer->GetKeyboard().OnActivationChanged();
}

bool ViewportWindow::event(QEvent* event) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData()->hasUrls()) drag->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        QStringList paths;
        for (const QUrl& url : drop->mimeData()->urls())
            if (url.isLocalFile()) paths.push_back(url.toLocalFile());
        drop->acceptProposedAction();
        if (!paths.isEmpty()) emit filesDropped(paths);
        return true;
    }
    if (m_renderer && m_pointerInput) {
        if (event->type() == QEvent::Enter) {
            m_renderer->GetCamera().inputMode.store(Engine::kInputOverViewport);
            m_hasLastPointer = false;
        } else if (event->type() == QEvent::Leave) {
            m_renderer->GetCamera().inputMode.store(Engine::kInputOutside);
            m_hasLastPointer = false;
        }
    }
    return QWindow::event(event);
}

}  // namespace TavrinApp
