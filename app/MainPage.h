#pragma once
// The one top-level page: the viewport, the command bar, the side panel (one page at a time,
// BlankPage when closed), the playback controls and time display, the status line and the log
// panel fed from MessageLog.
#include <QWidget>

#include <memory>

#include "app/ModelLoadPage.h"
#include "app/NoticePresenter.h"
#include "app/PanelHost.h"
#include "app/VideoOutputPage.h"
#include "scene/PlaybackDisplay.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTimer;
class QDragEnterEvent;
class QDropEvent;

namespace ProjectTavrin {
class MainRenderer;
}

namespace TavrinApp {

struct MainPageServices {
    ProjectTavrin::MainRenderer* renderer = nullptr;
    /// The viewport widget (the embedded Vulkan window); null shows an empty area.
    QWidget* viewport = nullptr;
    NoticePresenter notice = ShowNoticeBox;
    ProjectTavrin::FileSearch search;
    DeviceCheck deviceCheck = CheckEngineDevice;
    FilePicker pickFile;
    /// Where the video output page asks for its file; empty: the save dialog.
    SaveFilePicker pickSaveFile;
    /// Refresh the status line on a timer (the tests call UpdateStatus themselves).
    bool statusTimer = true;
};

class MainPage : public QWidget, public PanelHost {
    Q_OBJECT
public:
    explicit MainPage(MainPageServices services, QWidget* parent = nullptr);
    ~MainPage() override;

    // PanelHost
    void Stop() override;
    void ShowLoadedState() override;
    void ClosePanel() override;
    ProjectTavrin::SettingsExchange* SharedRenderSettings() override;
    bool RaytracingSupported() const override;
    ModelEditTarget* EditableModels() override;
    std::shared_ptr<ProjectTavrin::ExportSession> StartExport(ProjectTavrin::ExportJob job) override;

    /// Cancels a running export and waits until it has restored the renderer (before the window
    /// closes: the export would start the render loop again).
    void FinishExport();
    ProjectTavrin::RenderResourceTasks* ResourceTasks() override;
    ProjectTavrin::FileSearch LibrarySearch() override;

    // Command bar.
    void OpenModelLoadPage();
    void ToggleRenderConfig();
    void ToggleModelConfig();
    void OpenVideoOutput();
    void ToggleFreeCamera();
    /// "Frame the models": the free camera, switched on, looks at the loaded models from the
    /// front, their height filling most of the picture.
    void FrameModels();
    void ResetPhysics();

    // Playback.
    void PlayPause();
    void ChooseAudio();
    void ChooseAudioFile(const QString& path);
    /// Seeks to `permille` thousandths of the audio's length (nothing without audio).
    void SeekToFraction(int permille);

    /// Files dropped on the window: models and motions go to the model load page (opened when
    /// the panel shows another page), an audio file becomes the audio. False when none is usable.
    bool OpenDroppedFiles(const QStringList& paths);

    /// The status line and the log, every 30th engine frame.
    void UpdateStatus();
    void CloseLog();

    bool IsLoadedState() const { return m_loaded; }
    QWidget* PanelPage() const;
    QString FpsText() const;
    QString FovText() const;
    QString LogText() const;
    bool IsLogVisible() const;
    bool IsFreeCameraOn() const;
    QString PositionText() const;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

signals:
    /// The loaded state was entered: the viewport now takes pointer input.
    void loadedStateShown();

private:
    void BuildLayout();
    void Navigate(QWidget* page);
    template <class Page> void TogglePanel();
    bool RequireScene();
    void ShowDisplay(const ProjectTavrin::PlaybackDisplay& display);

    MainPageServices m_services;
    ProjectTavrin::MainRenderer& m_renderer;
    std::unique_ptr<ModelEditTarget> m_models;
    std::unique_ptr<ProjectTavrin::RenderResourceTasks> m_resourceTasks;
    bool m_loaded = false;

    QStackedWidget* m_panel = nullptr;
    QWidget* m_placeholder = nullptr;
    QPushButton* m_playPause = nullptr;
    QLabel* m_audioName = nullptr;
    QLabel* m_position = nullptr;
    QLabel* m_duration = nullptr;
    QSlider* m_positionBar = nullptr;
    QLabel* m_freeCameraOn = nullptr;
    QLabel* m_freeCameraOff = nullptr;
    QLabel* m_fps = nullptr;
    QLabel* m_fov = nullptr;
    QWidget* m_logPanel = nullptr;
    QPlainTextEdit* m_log = nullptr;
    QTimer* m_statusTimer = nullptr;
    /// The last export started from any video output page; kept past the page's life.
    std::shared_ptr<ProjectTavrin::ExportSession> m_export;
};

}  // namespace TavrinApp
