#pragma once
// What one export is asked to do, and what it did.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace ProjectTavrin {

struct ExportReport;

struct ExportJob {
    uint32_t width = 1280;
    uint32_t height = 720;
    uint32_t fps = 30;
    /// As typed by the user: the encoder is asked for bitrate x 1024 bit/s.
    int32_t bitrate = 8000;
    uint32_t frameCount = 0;
    std::filesystem::path output;
    /// The audio file; empty: the engine's chosen audio (MainRenderer::ChosenAudioPath), and
    /// without one a video without sound.
    std::filesystem::path audio;
    /// Encode frame i on a thread of its own while frame i + 1 renders.
    bool overlap = true;
    /// x264's speed preset.
    std::string preset = "veryfast";
    /// Called on the export's thread after frame `index` went to the encoder, with the progress
    /// (0 to 100).
    std::function<void(uint32_t index, double progress)> onProgress;
    /// Called on the export's thread once the file is finished and the renderer restored, also
    /// when the renderer threw (the report's `error` then says what).
    std::function<void(const ExportReport&)> onFinished;
};

struct ExportReport {
    /// The encoder opened; when false no frame was rendered or written and `error` says why.
    bool opened = false;
    /// The file was finalised and renamed onto the output.
    bool finalised = false;
    bool canceled = false;
    uint32_t framesRendered = 0;
    uint32_t framesWritten = 0;
    uint32_t failedWrites = 0;
    /// Frames whose RenderFrame failed (they were still written).
    uint32_t renderFailures = 0;
    bool hasAudio = false;
    std::string error;
    std::string audioWarning;
    /// Wall time of the frame loop and of the whole export (open to restore).
    double loopSeconds = 0.0;
    double totalSeconds = 0.0;
};

}  // namespace ProjectTavrin
