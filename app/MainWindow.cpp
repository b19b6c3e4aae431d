#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

#include <exception>

#include "Engine/EngineCore.h"
#include "app/MainPage.h"
#include "app/UiText.h"
#include "app/ViewportWindow.h"
#include "core/MessageLog.h"
#include "scene/MainRenderer.h"

namespace TavrinApp {
namespace {

/// A file picker that starts in the last folder the user picked from.
QString PickRemembered(QWidget* parent, const QString& caption, const QString& filter) {
    QSettings settings;
    const QString key = QStringLiteral("folders/") + filter.section('(', 0, 0).trimmed();
    const QString path = QFileDialog::getOpenFileName(parent, caption, settings.value(key).toString(), filter);
    if (!path.isEmpty()) settings.setValue(key, QFileInfo(path).absolutePath());
    return path;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Tavrin"));
    QSettings settings;
    resize(settings.value("window/size", QSize(1280, 800)).toSize());
    try {
        std::shared_ptr<Engine::EngineCore> core = Engine::EngineCore::GetInstance();
        m_viewport = new ViewportWindow(core);
        // From here on the container owns the window.
        m_viewportContainer = QWidget::createWindowContainer(m_viewport, this);
        QWidget* container = m_viewportContainer;
        container->setFocusPolicy(Qt::StrongFocus);
        ProjectTavrin::MainRenderer& renderer = ProjectTavrin::MainRenderer::GetInstance();
        m_viewport->Bind(&renderer);

        MainPageServices services;
        services.renderer = &renderer;
        services.viewport = container;
        services.pickFile = PickRemembered;
        m_page = new MainPage(std::move(services), this);
        connect(m_page, &MainPage::loadedStateShown, this, [this] { m_viewport->SetPointerInputEnabled(true); });
        connect(m_viewport, &ViewportWindow::playPauseRequested, m_page, &MainPage::PlayPause);
        connect(m_viewport, &ViewportWindow::stopRequested, m_page, &MainPage::Stop);
        connect(m_viewport, &ViewportWindow::frameModelsRequested, m_page, &MainPage::FrameModels);
        connect(m_viewport, &ViewportWindow::filesDropped, m_page, &MainPage::OpenDroppedFiles);
        setCentralWidget(m_page);
        renderer.StartRenderLoop();
    } catch (const std::exception& error) {
        MessageLog::Instance().AppendUtf8(error.what());
        MessageLog::Instance().AppendUtf8("Failed to load Page MainPage");
        ShowStartFailure(QString::fromUtf8(error.what()));
    }
}

void MainWindow::ShowStartFailure(const QString& reason) {
    if (m_viewportContainer)
        delete m_viewportContainer;
    else
        delete m_viewport;
    m_viewportContainer = nullptr;
    m_viewport = nullptr;
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* text = new QLabel(reason + QStringLiteral("\n\nFailed to load Page MainPage"), page);
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setObjectName("startFailure");
    layout->addWidget(text);
    setCentralWidget(page);
}

void MainWindow::OpenStartScene(const StartScene& scene) {
    if (!m_page) return;
    for (const QString& name : scene.ignored)
        MessageLog::Instance().AppendUtf8(("Not a model, motion or audio file: " + name).toStdString());
    if (!scene.audio.isEmpty()) m_page->ChooseAudioFile(scene.audio);
    if (scene.entries.empty()) return;
    m_page->Stop();
    ProjectTavrin::MainRenderer::GetInstance().LoadScene(scene.entries);
    m_page->ShowLoadedState();
}

MainWindow::~MainWindow() { ReleaseEngine(); }

void MainWindow::ReleaseEngine() {
    if (m_engineReleased || !m_page) return;
    m_engineReleased = true;
    ProjectTavrin::MainRenderer& renderer = ProjectTavrin::MainRenderer::GetInstance();
    m_page->FinishExport();
    renderer.StopRenderLoop();
    renderer.WaitForSceneTask();
    if (m_viewport) m_viewport->Detach();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QSettings().setValue("window/size", size());
    ReleaseEngine();
    event->accept();
}

}  // namespace TavrinApp
