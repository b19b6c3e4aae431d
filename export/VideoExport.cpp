#include "export/VideoExport.h"

#include <atomic>
#include <chrono>
#include <exception>

#include "core/MessageLog.h"
#include "export/EncodePipeline.h"
#include "export/ExportSettings.h"
#include "export/VideoEncoder.h"
#include "scene/MainRenderer.h"

namespace ProjectTavrin {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_exportRunning{false};

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

/// Frames, encoder and file, between BeginExport and EndExport.
void EncodeFrames(MainRenderer& engine, const ExportJob& job, const std::function<bool()>& canceled, ExportReport& report) {
    VideoEncoderSettings settings;
    settings.output = job.output;
    settings.width = job.width;
    settings.height = job.height;
    settings.fps = job.fps;
    settings.bitrate = job.bitrate;
    // A job without a file of its own takes the sound the scene plays with.
    settings.audio = job.audio.empty() ? engine.ChosenAudioPath() : job.audio;
    settings.preset = job.preset;
    VideoEncoder encoder;
    if (!encoder.Open(settings)) {
        report.error = encoder.Error();
        MessageLog::Instance().AppendUtf8("The video cannot be written: " + report.error);
        return;
    }
    report.opened = true;
    report.hasAudio = encoder.HasAudio();
    report.audioWarning = encoder.AudioWarning();
    if (!report.audioWarning.empty())
        MessageLog::Instance().AppendUtf8("The video is written without sound: " + report.audioWarning);

    const auto loopStart = Clock::now();
    {
        EncodePipeline pipeline(encoder, job.overlap);
        for (uint32_t i = 0; i < job.frameCount; ++i) {
            if (canceled && canceled()) {
                report.canceled = true;
                break;
            }
            const OfflineFrame frame = engine.RenderOfflineFrame(job.fps, i);
            ++report.framesRendered;
            if (!frame.rendered) ++report.renderFailures;
            pipeline.Submit(frame);
            if (job.onProgress) job.onProgress(i, ExportProgress(i, job.frameCount));
        }
        pipeline.Finish();
    }
    report.loopSeconds = SecondsSince(loopStart);
    report.framesWritten = encoder.FramesWritten();
    report.failedWrites = encoder.FailedWrites();
    report.finalised = encoder.Close();
    if (report.failedWrites > 0)
        MessageLog::Instance().AppendUtf8(std::to_string(report.failedWrites) + " of " +
                                          std::to_string(report.framesRendered) +
                                          " frames could not be written to the video.");
    if (!report.finalised) {
        report.error = encoder.Error();
        MessageLog::Instance().AppendUtf8("The video could not be finished: " + report.error);
    }
}

}  // namespace

ExportReport RunExport(MainRenderer& engine, const ExportJob& job, const std::function<bool()>& canceled) {
    const auto start = Clock::now();
    ExportReport report;
    engine.BeginExport(job.width, job.height);
    try {
        EncodeFrames(engine, job, canceled, report);
    } catch (...) {
        engine.EndExport();
        throw;
    }
    engine.EndExport();
    report.totalSeconds = SecondsSince(start);
    return report;
}

std::unique_ptr<ExportSession> ExportSession::Start(MainRenderer& engine, ExportJob job) {
    bool expected = false;
    if (!g_exportRunning.compare_exchange_strong(expected, true)) {
        MessageLog::Instance().Append(kExportAlreadyRunningMessage);
        return nullptr;
    }
    std::unique_ptr<ExportSession> session(new ExportSession());
    ExportSession* self = session.get();
    session->m_work = WorkItem::Run([self, &engine, job = std::move(job)](const WorkToken& token) {
        // The flag goes down however the export ends, so a failed one does not block the next.
        struct Release {
            ~Release() { g_exportRunning.store(false); }
        } release;
        try {
            self->m_report = RunExport(engine, job, [&token] { return token.IsCanceled(); });
        } catch (const std::exception& error) {
            // The renderer is restored by now; whoever waits for the end must still hear of it.
            self->m_report.error = error.what();
            MessageLog::Instance().AppendUtf8("The export stopped: " + self->m_report.error);
            if (job.onFinished) job.onFinished(self->m_report);
            throw;
        }
        if (job.onFinished) job.onFinished(self->m_report);
    });
    return session;
}

ExportSession::~ExportSession() {
    if (m_work) {
        m_work->Cancel();
        m_work->Wait();
    }
}

void ExportSession::Cancel() { m_work->Cancel(); }
WorkStatus ExportSession::Status() const { return m_work->Status(); }
bool ExportSession::IsFinished() const { return m_work->IsFinished(); }
bool ExportSession::WaitFor(std::chrono::milliseconds timeout) { return m_work->WaitFor(timeout); }

ExportReport ExportSession::Wait() {
    m_work->Wait();
    return m_report;
}

bool ExportSession::AnyRunning() { return g_exportRunning.load(); }

}  // namespace ProjectTavrin
