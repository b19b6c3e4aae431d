#pragma once
// What the application tests share: one application object for the process (the program's own,
// so its error rule is in force), an engine object without a device, and a notice recorder.
#include <QCoreApplication>

#include <filesystem>
#include <memory>
#include <vector>

#include "app/MainPage.h"
#include "app/UiText.h"
#include "scene/MainRenderer.h"

namespace Engine {
class EngineCore;
}

namespace AppTest {

/// Creates the application object on first use.
void EnsureApp();

/// Runs the events posted so far (and those they post), a few rounds.
void ProcessEvents();

/// Records the notices a page shows instead of opening modal boxes.
struct NoticeLog {
    std::vector<TavrinApp::Notice> shown;
    TavrinApp::NoticePresenter Presenter() {
        return [this](QWidget*, const TavrinApp::Notice& notice) { shown.push_back(notice); };
    }
};

/// A folder of empty model and motion files for the file search.
class FileFolder {
public:
    FileFolder();
    ~FileFolder();
    FileFolder(const FileFolder&) = delete;
    FileFolder& operator=(const FileFolder&) = delete;
    std::filesystem::path Touch(const std::string& name) const;
    const std::filesystem::path& Dir() const { return m_dir; }

private:
    std::filesystem::path m_dir;
};

/// The engine object (without a device unless `core` is given), and a main page over it with
/// the recorder in place.
class PageRig {
public:
    explicit PageRig(TavrinApp::DeviceSupport device = TavrinApp::DeviceSupport::Supported,
                     std::shared_ptr<Engine::EngineCore> core = {});
    ~PageRig();

    /// Loads an empty scene and waits until it is ready.
    void MakeSceneReady();

    ProjectTavrin::MainRenderer& renderer() { return *m_renderer; }
    TavrinApp::MainPage& page() { return *m_page; }
    NoticeLog notices;
    FileFolder files;
    /// What the video output page's save picker returns (empty: cancelled).
    QString savePick;

private:
    std::unique_ptr<ProjectTavrin::MainRenderer> m_renderer;
    std::unique_ptr<TavrinApp::MainPage> m_page;
};

}  // namespace AppTest
