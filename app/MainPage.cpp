#include "app/MainPage.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>

#include "app/BlankPage.h"
#include "app/CommandLine.h"
#include "app/ModelConfigPage.h"
#include "app/SceneModelTarget.h"
#include "app/SettingsPages.h"
#include "app/UiText.h"
#include "app/UiThread.h"
#include "Engine/EngineCore.h"
#include "core/MessageLog.h"
#include "export/VideoExport.h"
#include "scene/MainRenderer.h"
#include "scene/RenderResourceTasks.h"

#ifndef TAVRIN_VERSION
#define TAVRIN_VERSION "0.0.0"
#endif

namespace TavrinApp {
namespace {

constexpr double kDegreesPerRadian = 57.295826;
constexpr int kSeekSteps = 1000;
constexpr int kStatusEveryFrames = 30;

QString PlaySymbolText(ProjectTavrin::PlaySymbol symbol) {
    return symbol == ProjectTavrin::PlaySymbol::Play ? QStringLiteral("▶") : QStringLiteral("⏸");
}

}  // namespace

MainPage::MainPage(MainPageServices services, QWidget* parent)
    : QWidget(parent), m_services(std::move(services)), m_renderer(*m_services.renderer) {
    BuildLayout();
    setMinimumSize(500, 500);
    setAcceptDrops(true);
    m_renderer.SetUiPoster(PostToUiThread);
    // The listener runs on the UI thread, where this page lives; the page outlives no renderer.
    m_renderer.SetPlaybackDisplayListener([this](const ProjectTavrin::PlaybackDisplay& display) { ShowDisplay(display); });
    ShowDisplay(m_renderer.GetPlaybackDisplay());
    if (m_services.statusTimer) {
        m_statusTimer = new QTimer(this);
        connect(m_statusTimer, &QTimer::timeout, this, &MainPage::UpdateStatus);
        m_statusTimer->start(16);
    }
}

MainPage::~MainPage() {
    FinishExport();
    m_renderer.SetPlaybackDisplayListener(nullptr);
}

void MainPage::BuildLayout() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);

    auto* commands = new QHBoxLayout();
    auto addButton = [&](const QString& text, const char* name, auto slot) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, this, slot);
        commands->addWidget(button);
        return button;
    };
    addButton(tr("Load models"), "modelLoadButton", &MainPage::OpenModelLoadPage);
    addButton(tr("Render settings"), "renderConfigButton", &MainPage::ToggleRenderConfig);
    addButton(tr("Model settings"), "modelConfigButton", &MainPage::ToggleModelConfig);
    addButton(tr("Video output"), "videoOutputButton", &MainPage::OpenVideoOutput);
    addButton(tr("Reset physics"), "resetPhysicsButton", &MainPage::ResetPhysics);
    // The toggle shows one of its two texts, the one matching the free camera's state.
    QPushButton* freeCamera = addButton(QString(), "freeCameraButton", &MainPage::ToggleFreeCamera);
    auto* toggleLayout = new QHBoxLayout(freeCamera);
    toggleLayout->setContentsMargins(6, 0, 6, 0);
    m_freeCameraOn = new QLabel(tr("Free camera: on"), freeCamera);
    m_freeCameraOff = new QLabel(tr("Free camera: off"), freeCamera);
    toggleLayout->addWidget(m_freeCameraOn);
    toggleLayout->addWidget(m_freeCameraOff);
    m_freeCameraOn->setVisible(false);
    freeCamera->setMinimumWidth(m_freeCameraOff->sizeHint().width() + 24);
    commands->addStretch(1);
    root->addLayout(commands);

    auto* middle = new QHBoxLayout();
    auto* viewArea = new QStackedWidget(this);
    m_placeholder = new QLabel(tr("Load models to start."), viewArea);
    static_cast<QLabel*>(m_placeholder)->setAlignment(Qt::AlignCenter);
    viewArea->addWidget(m_placeholder);
    if (m_services.viewport) viewArea->addWidget(m_services.viewport);
    viewArea->setObjectName("viewArea");
    middle->addWidget(viewArea, 1);
    m_panel = new QStackedWidget(this);
    m_panel->setMinimumWidth(0);
    m_panel->setFixedWidth(360);
    m_panel->addWidget(new BlankPage(m_panel));
    m_panel->setVisible(false);
    middle->addWidget(m_panel);
    root->addLayout(middle, 1);

    auto* playback = new QHBoxLayout();
    m_playPause = new QPushButton(this);
    m_playPause->setObjectName("playPauseButton");
    auto* stop = new QPushButton(QStringLiteral("■"), this);
    auto* audio = new QPushButton(tr("Audio…"), this);
    m_audioName = new QLabel(this);
    m_position = new QLabel(this);
    m_positionBar = new QSlider(Qt::Horizontal, this);
    m_positionBar->setRange(0, kSeekSteps);
    m_duration = new QLabel(this);
    playback->addWidget(m_playPause);
    playback->addWidget(stop);
    playback->addWidget(audio);
    playback->addWidget(m_audioName);
    playback->addWidget(m_position);
    playback->addWidget(m_positionBar, 1);
    playback->addWidget(m_duration);
    root->addLayout(playback);
    connect(m_playPause, &QPushButton::clicked, this, &MainPage::PlayPause);
    connect(stop, &QPushButton::clicked, this, &MainPage::Stop);
    connect(audio, &QPushButton::clicked, this, &MainPage::ChooseAudio);
    connect(m_positionBar, &QSlider::sliderReleased, this, [this] { SeekToFraction(m_positionBar->value()); });

    auto* status = new QHBoxLayout();
    m_fps = new QLabel(QStringLiteral("0"), this);
    m_fov = new QLabel(QStringLiteral("0.00"), this);
    status->addWidget(new QLabel(tr("FPS"), this));
    status->addWidget(m_fps);
    status->addWidget(new QLabel(tr("FOV"), this));
    status->addWidget(m_fov);
    status->addStretch(1);
    status->addWidget(new QLabel(QStringLiteral("Tavrin " TAVRIN_VERSION), this));
    root->addLayout(status);

    m_logPanel = new QWidget(this);
    auto* logLayout = new QHBoxLayout(m_logPanel);
    logLayout->setContentsMargins(0, 0, 0, 0);
    m_log = new QPlainTextEdit(m_logPanel);
    m_log->setReadOnly(true);
    m_log->setMaximumHeight(120);
    auto* closeLog = new QPushButton(tr("Close"), m_logPanel);
    logLayout->addWidget(m_log, 1);
    logLayout->addWidget(closeLog, 0, Qt::AlignTop);
    connect(closeLog, &QPushButton::clicked, this, &MainPage::CloseLog);
    m_logPanel->setVisible(false);
    root->addWidget(m_logPanel);
}

// ---- side panel ----

void MainPage::Navigate(QWidget* page) {
    // Each navigation makes a new page; the old one goes once its own handler has returned.
    QWidget* old = m_panel->currentWidget();
    m_panel->addWidget(page);
    m_panel->setCurrentWidget(page);
    if (old) {
        m_panel->removeWidget(old);
        old->deleteLater();
    }
    m_panel->setVisible(qobject_cast<BlankPage*>(page) == nullptr);
}

QWidget* MainPage::PanelPage() const { return m_panel->currentWidget(); }

void MainPage::ClosePanel() { Navigate(new BlankPage(m_panel)); }

bool MainPage::RequireScene() {
    if (m_renderer.IsSceneReady()) return true;
    if (m_services.notice) m_services.notice(this, NoSceneNotice());
    return false;
}

template <class Page>
void MainPage::TogglePanel() {
    if (!RequireScene()) return;
    if (PanelPage() && PanelPage()->metaObject() == &Page::staticMetaObject) {
        ClosePanel();
        return;
    }
    Navigate(new Page(*this, m_panel));
}

void MainPage::OpenModelLoadPage() {
    ModelLoadServices services;
    services.search = m_services.search ? m_services.search : ProjectTavrin::VideosLibrarySearch();
    services.deviceCheck = m_services.deviceCheck;
    services.notice = m_services.notice;
    services.pickFile = m_services.pickFile;
    services.load = [this](std::vector<ProjectTavrin::SceneEntry> entries) { return m_renderer.LoadScene(std::move(entries)); };
    Navigate(new ModelLoadPage(*this, std::move(services), m_panel));
}

ProjectTavrin::SettingsExchange* MainPage::SharedRenderSettings() {
    ProjectTavrin::SceneRenderer* renderer = m_renderer.GetSceneRenderer();
    return renderer ? &renderer->Settings() : nullptr;
}

bool MainPage::RaytracingSupported() const {
    // Without a scene renderer there is no device to ask.
    if (!m_renderer.GetSceneRenderer()) return false;
    try {
        const auto& core = Engine::EngineCore::GetInstance();
        return core && core->IsRaytracingSupported();
    } catch (const std::exception&) {
        return false;
    }
}

ModelEditTarget* MainPage::EditableModels() {
    if (!m_renderer.IsSceneReady()) return nullptr;
    if (!m_models) m_models = std::make_unique<SceneModelTarget>(m_renderer);
    return m_models.get();
}

ProjectTavrin::RenderResourceTasks* MainPage::ResourceTasks() {
    if (!m_resourceTasks) m_resourceTasks = std::make_unique<ProjectTavrin::RenderResourceTasks>(m_renderer);
    return m_resourceTasks.get();
}

ProjectTavrin::FileSearch MainPage::LibrarySearch() {
    return m_services.search ? m_services.search : ProjectTavrin::VideosLibrarySearch();
}

void MainPage::ToggleRenderConfig() { TogglePanel<RenderConfigPage>(); }
void MainPage::ToggleModelConfig() { TogglePanel<ModelConfigPage>(); }

void MainPage::OpenVideoOutput() {
    if (!RequireScene()) return;
    Navigate(new VideoOutputPage(*this, m_services.pickSaveFile, m_panel));
}

std::shared_ptr<ProjectTavrin::ExportSession> MainPage::StartExport(ProjectTavrin::ExportJob job) {
    std::shared_ptr<ProjectTavrin::ExportSession> session = ProjectTavrin::ExportSession::Start(m_renderer, std::move(job));
    if (session) m_export = session;
    return session;
}

void MainPage::FinishExport() {
    if (!m_export) return;
    m_export->Cancel();
    m_export->Wait();
}

void MainPage::ToggleFreeCamera() {
    const bool turnOn = m_freeCameraOn->isHidden();
    m_renderer.forceFreeCamera.store(turnOn);
    m_freeCameraOn->setVisible(turnOn);
    m_freeCameraOff->setVisible(!turnOn);
}

bool MainPage::IsFreeCameraOn() const { return !m_freeCameraOn->isHidden(); }

void MainPage::ResetPhysics() { m_renderer.physicsResetRequest.store(true); }

void MainPage::ShowLoadedState() {
    m_loaded = true;
    auto* viewArea = findChild<QStackedWidget*>("viewArea");
    if (viewArea && m_services.viewport) viewArea->setCurrentWidget(m_services.viewport);
    emit loadedStateShown();
}

// ---- playback ----

void MainPage::Stop() { m_renderer.Stop(); }

void MainPage::PlayPause() {
    if (m_renderer.PlayPause() == ProjectTavrin::PlaybackState::NoScene && m_services.notice)
        m_services.notice(this, NoSceneNotice());
}

void MainPage::ChooseAudio() {
    const QString caption = tr("Choose the audio");
    const QString filter = tr("Audio (*.wav *.mp3 *.flac *.ogg *.m4a *.aac *.opus)");
    const QString path = m_services.pickFile ? m_services.pickFile(this, caption, filter)
                                             : QFileDialog::getOpenFileName(this, caption, QString(), filter);
    if (!path.isEmpty()) ChooseAudioFile(path);
}

void MainPage::ChooseAudioFile(const QString& path) { m_renderer.ChooseAudio(std::filesystem::path(path.toStdString())); }

void MainPage::SeekToFraction(int permille) {
    const int64_t duration = m_renderer.GetAudioPlayer().GetDuration();
    if (duration <= 0) return;
    const double seconds = static_cast<double>(duration) / 1e7 * std::clamp(permille, 0, kSeekSteps) / kSeekSteps;
    m_renderer.SeekTo(seconds);
}

void MainPage::ShowDisplay(const ProjectTavrin::PlaybackDisplay& display) {
    m_playPause->setText(PlaySymbolText(display.symbol));
    m_audioName->setText(ToQString(display.audioName));
    m_position->setText(QString::fromStdString(display.positionText));
    m_duration->setText(QString::fromStdString(display.durationText));
    if (!m_positionBar->isSliderDown())
        m_positionBar->setValue(static_cast<int>(std::lround(display.positionBar * kSeekSteps / 100.0)));
}

QString MainPage::PositionText() const { return m_position->text(); }

// ---- dropped files ----

bool MainPage::OpenDroppedFiles(const QStringList& paths) {
    bool used = false;
    for (const QString& path : paths) {
        const QString suffix = QFileInfo(path).suffix().toLower();
        const bool model = suffix == QStringLiteral("pmx") || suffix == QStringLiteral("pmd");
        const bool motion = suffix == QStringLiteral("vmd") || suffix == QStringLiteral("vpd");
        if (model || motion) {
            auto* page = qobject_cast<ModelLoadPage*>(PanelPage());
            if (!page) {
                OpenModelLoadPage();
                page = qobject_cast<ModelLoadPage*>(PanelPage());
                // A fresh page's own first entry would stand before the dropped files.
                if (model) page->RemoveAll();
            }
            if (model)
                page->AddModelFile(QFileInfo(path).absoluteFilePath());
            else
                page->SetMotionOfLastEntry(QFileInfo(path).absoluteFilePath());
            used = true;
        } else if (!SceneFromArguments({path}).audio.isEmpty()) {
            ChooseAudioFile(path);
            used = true;
        }
    }
    return used;
}

void MainPage::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainPage::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile());
    if (OpenDroppedFiles(paths)) event->acceptProposedAction();
}

// ---- status and log ----

void MainPage::UpdateStatus() {
    ProjectTavrin::StepClock& clock = m_renderer.GetFrameClock();
    if (clock.GetFrameCount() % kStatusEveryFrames != 0) return;
    m_fps->setText(QString::number(clock.GetFramesPerSecond()));
    const float fov = m_renderer.GetFovRadians();
    m_fov->setText(QString::number(fov > 0.0f ? fov * kDegreesPerRadian : 0.0, 'f', 2));
    const std::u16string messages = MessageLog::Instance().TakeAll();
    if (!messages.empty()) {
        m_log->moveCursor(QTextCursor::End);
        m_log->insertPlainText(ToQString(messages).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        m_logPanel->setVisible(true);
    }
}

void MainPage::CloseLog() {
    m_logPanel->setVisible(false);
    m_log->clear();
}

QString MainPage::FpsText() const { return m_fps->text(); }
QString MainPage::FovText() const { return m_fov->text(); }
QString MainPage::LogText() const { return m_log->toPlainText(); }
bool MainPage::IsLogVisible() const { return !m_logPanel->isHidden(); }

}  // namespace TavrinApp
