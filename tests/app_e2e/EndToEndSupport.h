#pragma once
// What the end-to-end tests share: the start on a display with a validated device, the demo
// scene's files and an event loop run until a condition holds.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "Engine/EngineCore.h"

namespace EndToEnd {

/// Prepares the whole program's run on the X display with the validation layer on; returns why
/// it cannot run here (no display, no usable Vulkan device), empty when it can.
inline std::string PrepareDisplayAndDevice() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return "needs a display (run under xvfb-run)";
    qputenv("QT_QPA_PLATFORM", "xcb");
    Engine::Platform::DeviceOptions options;
    options.enableValidation = true;
    Engine::EngineCore::SetDeviceOptions(options);
    try {
        Engine::EngineCore::GetInstance();
    } catch (const std::runtime_error& error) {
        return std::string("No usable Vulkan device: ") + error.what();
    }
    return {};
}

inline QString Demo(const char* name) { return QString::fromStdString((std::filesystem::path(TAVRIN_DEMO_DIR) / name).string()); }

/// How long the UI thread's event handling took per round, while the render loop ran beside it.
struct UiTimes {
    qint64 rounds = 0, totalNs = 0, longestNs = 0;
};

/// Runs the event loop until `done` holds or `seconds` pass; returns whether it held.
template <class Done>
inline bool RunUntil(Done done, int seconds, UiTimes* times = nullptr) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000) return false;
        QElapsedTimer round;
        round.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (times) {
            const qint64 ns = round.nsecsElapsed();
            ++times->rounds;
            times->totalNs += ns;
            times->longestNs = std::max(times->longestNs, ns);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace EndToEnd
