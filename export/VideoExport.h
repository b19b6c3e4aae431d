#pragma once
// Runs an export of the loaded scene: the renderer is switched to the export size and its
// real-time loop stopped, each frame is rendered at its exact animation time, read back and
// encoded, and afterwards the renderer is restored and its loop restarted.
//
// One export at a time in the process (they share the renderer's output, the render loop and
// the engine lock): a second start while one runs is refused with a message in the log.
// Problems reach the user through the message log: an encoder that cannot open (no frames are
// rendered), frames that could not be written (counted), a file that could not be finished.
#include <chrono>
#include <functional>
#include <memory>
#include <string_view>

#include "core/WorkItem.h"
#include "export/ExportJob.h"

namespace ProjectTavrin {

class MainRenderer;

inline constexpr std::u16string_view kExportAlreadyRunningMessage = u"An export is already running; the request was ignored.";

/// The export of `job` on the calling thread, from BeginExport to EndExport. `canceled` is asked
/// before each frame; once it says yes the loop stops and the file is finished with the frames
/// written. Encoder and file problems end up in the report and the log; only the renderer's own
/// exceptions pass through (after the renderer is restored).
ExportReport RunExport(MainRenderer& engine, const ExportJob& job, const std::function<bool()>& canceled);

/// A running export on a work item of its own.
class ExportSession {
public:
    /// Starts `job`. Null, with kExportAlreadyRunningMessage in the log, while another export
    /// runs in this process.
    static std::unique_ptr<ExportSession> Start(MainRenderer& engine, ExportJob job);
    /// Cancels and waits.
    ~ExportSession();
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    /// The export stops before its next frame, then finishes the file and restores the renderer.
    void Cancel();
    /// Started while it runs and has not been canceled.
    WorkStatus Status() const;
    bool IsFinished() const;
    bool WaitFor(std::chrono::milliseconds timeout);
    /// Waits for the end and returns what the export did.
    ExportReport Wait();

    /// Whether any export runs in this process.
    static bool AnyRunning();

private:
    ExportSession() = default;
    std::unique_ptr<WorkItem> m_work;
    ExportReport m_report;
};

}  // namespace ProjectTavrin
