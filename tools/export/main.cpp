// tavrin-export: renders a scene without a window and writes it as an MP4 video. See
// ExportUsage() for the command line and the exit codes.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "Engine/EngineCore.h"
#include "export/ExportCommand.h"
#include "export/VideoExport.h"
#include "scene/AudioDecoder.h"
#include "scene/ConsoleReport.h"
#include "scene/MainRenderer.h"
#include "scene/SceneArguments.h"

namespace {

using namespace ProjectTavrin;

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

/// Frames done, frames per second and time left, on one line rewritten in place on a terminal.
class ProgressLine {
public:
    ProgressLine(uint32_t frames) : m_frames(frames), m_start(Clock::now()), m_terminal(isatty(STDERR_FILENO) != 0) {}

    void Show(uint32_t done, bool last) {
        const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
        const double fps = seconds > 0 ? done / seconds : 0.0;
        const double left = fps > 0 ? (m_frames - done) / fps : 0.0;
        // Away from a terminal one line every 10% keeps logs readable.
        if (!m_terminal && !last && done * 10 / std::max(m_frames, 1u) == m_lastTenth) return;
        m_lastTenth = done * 10 / std::max(m_frames, 1u);
        std::fprintf(stderr, "%sframe %u/%u  %.1f fps  %.0f s left%s", m_terminal ? "\r" : "", done, m_frames, fps, left,
                     m_terminal && !last ? "   " : "\n");
        std::fflush(stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    uint32_t m_frames;
    Clock::time_point m_start;
    bool m_terminal;
    uint32_t m_lastTenth = 0;
};

// The files named on the command line, checked before any device work: each that cannot be read
// is named on standard error.
bool FilesReadable(const ExportCommand& command) {
    bool readable = !ReportUnreadableFiles("tavrin-export", UnreadableEntryFiles(command.entries));
    if (!command.audio.empty()) {
        AudioDecoder decoder;
        if (!decoder.Open(command.audio, AudioFormat{})) {
            std::fprintf(stderr, "tavrin-export: cannot read the audio file %s: %s\n", command.audio.string().c_str(),
                         decoder.Error().c_str());
            readable = false;
        }
    }
    return readable;
}

int Run(const ExportCommand& command) {
    if (!FilesReadable(command)) return kExitFailed;
    std::shared_ptr<Engine::EngineCore> core;
    try {
        core = Engine::EngineCore::GetInstance();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrin-export: %s\n", e.what());
        return kExitFailed;
    }
    core->SetHeadlessOutput(static_cast<float>(command.size.width), static_cast<float>(command.size.height));
    MainRenderer::Options options;
    options.core = core;
    MainRenderer engine(options);
    // The export fields are the export's own: BeginExport sets them and puts them back.
    if (SceneRenderer* renderer = engine.GetSceneRenderer())
        renderer->Settings().Edit([&](FrameSettings& s) { s = command.renderSettings; });
    if (!engine.LoadScene(command.entries) || engine.WaitForSceneTask() != WorkStatus::Completed) {
        std::fprintf(stderr, "tavrin-export: the scene could not be loaded: %s\n", engine.SceneTaskError().c_str());
        return kExitFailed;
    }
    // A file that was there but is not a model or motion: nothing is written.
    if (ReportUnreadableFiles("tavrin-export", engine.GetScene().unreadableFiles)) return kExitFailed;

    const double seconds = command.seconds ? *command.seconds : LongestMotionSeconds(engine.GetScene());
    if (!command.seconds && seconds <= 0) {
        std::fprintf(stderr, "tavrin-export: the scene has no motion to take the length from; give --seconds\n");
        return kExitUsage;
    }
    ExportJob job;
    job.width = command.size.width;
    job.height = command.size.height;
    job.fps = command.fps;
    job.bitrate = command.bitrate;
    job.frameCount = ExportFramesForSeconds(seconds, command.fps);
    job.output = command.output;
    job.audio = command.audio;
    job.overlap = !command.serial;
    job.preset = command.preset;
    std::atomic<uint32_t> done{0};
    job.onProgress = [&done](uint32_t index, double) { done.store(index + 1); };

    std::fprintf(stderr, "Exporting %u frames (%ux%u, %u fps) to %s\n", job.frameCount, job.width, job.height, job.fps,
                 command.output.string().c_str());
    ProgressLine progress(job.frameCount);
    std::unique_ptr<ExportSession> session = ExportSession::Start(engine, job);
    if (!session) return kExitFailed;
    bool interrupted = false;
    while (!session->WaitFor(std::chrono::milliseconds(250))) {
        if (g_interrupted && !interrupted) {
            interrupted = true;
            std::fprintf(stderr, "\nInterrupted: finishing the file with the frames written so far\n");
            session->Cancel();
        }
        progress.Show(done.load(), false);
    }
    const ExportReport report = session->Wait();
    progress.Show(done.load(), true);
    if (!report.opened || !report.finalised) return kExitFailed;
    std::fprintf(stderr, "Wrote %u frames%s to %s in %.1f s\n", report.framesWritten, report.hasAudio ? " with audio" : "",
                 command.output.string().c_str(), report.totalSeconds);
    // A video without the sound that was asked for, or with frames missing, is not what the
    // script wanted, even though the file plays.
    if (report.failedWrites > 0 || (!command.audio.empty() && !report.hasAudio)) return kExitFailed;
    return report.canceled ? kExitInterrupted : kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
    const ExportCommandParse parse = ParseExportCommand(std::vector<std::string>(argv + 1, argv + argc));
    if (!parse.command) {
        std::fprintf(stderr, "tavrin-export: %s\n(tavrin-export --help shows the options)\n", parse.error.c_str());
        return kExitUsage;
    }
    if (parse.command->help) {
        std::fputs(ExportUsage().c_str(), stdout);
        return kExitDone;
    }
    // From here on Ctrl-C never kills the process: an export it interrupts still finishes its
    // file (one interrupted while the scene loads ends with an empty one).
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    EchoMessagesToStderr();
    try {
        return Run(*parse.command);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrin-export: %s\n", e.what());
        return kExitFailed;
    }
}
