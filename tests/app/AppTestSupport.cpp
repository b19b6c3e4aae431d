#include "tests/app/AppTestSupport.h"

#include <QEventLoop>

#include <fstream>
#include <string>
#include <unistd.h>

#include "app/App.h"
#include "core/MessageLog.h"

namespace AppTest {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "tavrin_tests_app";
    static char* argv[] = {name, nullptr};
    // The pages need no display; a run outside scripts/test.sh gets the offscreen platform too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* app = new TavrinApp::App(argc, argv);
    (void)app;
}

void ProcessEvents() {
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

FileFolder::FileFolder() {
    static int serial = 0;
    m_dir = std::filesystem::temp_directory_path() /
            ("tavrin-app-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(m_dir);
}

FileFolder::~FileFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

std::filesystem::path FileFolder::Touch(const std::string& name) const {
    std::ofstream(m_dir / name).put('\0');
    return m_dir / name;
}

PageRig::PageRig(TavrinApp::DeviceSupport device, std::shared_ptr<Engine::EngineCore> core) {
    EnsureApp();
    MessageLog::Instance().Clear();
    ProjectTavrin::MainRenderer::Options options;
    options.core = std::move(core);
    m_renderer = std::make_unique<ProjectTavrin::MainRenderer>(options);
    TavrinApp::MainPageServices services;
    services.renderer = m_renderer.get();
    services.notice = notices.Presenter();
    services.search = ProjectTavrin::DirectorySearch(files.Dir());
    services.deviceCheck = [device] { return device; };
    services.pickFile = [](QWidget*, const QString&, const QString&) { return QString(); };
    services.pickSaveFile = [this](QWidget*, const QString&, const QString&, const QString&) { return savePick; };
    services.statusTimer = false;
    m_page = std::make_unique<TavrinApp::MainPage>(std::move(services));
}

PageRig::~PageRig() {
    m_renderer->WaitForSceneTask();
    m_page.reset();
    ProcessEvents();
    m_renderer.reset();
}

void PageRig::MakeSceneReady() {
    m_renderer->LoadScene({});
    m_renderer->WaitForSceneTask();
}

}  // namespace AppTest
