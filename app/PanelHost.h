#pragma once
// What a side-panel page may ask of the page that hosts it.
#include <memory>

#include "export/ExportJob.h"
#include "scene/VideoLibrary.h"

namespace ProjectTavrin {
class ExportSession;
class RenderResourceTasks;
class SettingsExchange;
}  // namespace ProjectTavrin

namespace TavrinApp {

class ModelEditTarget;

class PanelHost {
public:
    virtual ~PanelHost() = default;
    /// Rewinds and pauses playback.
    virtual void Stop() = 0;
    /// Switches the host to its loaded look; called once a load is requested, not finished.
    virtual void ShowLoadedState() = 0;
    /// Shows the blank page in the side panel (the page that asks is deleted later).
    virtual void ClosePanel() = 0;
    /// The renderer's settings; null while there is no graphics device to render with.
    virtual ProjectTavrin::SettingsExchange* SharedRenderSettings() { return nullptr; }
    /// Whether the device can run the ray-traced modes.
    virtual bool RaytracingSupported() const { return false; }
    /// The scene's models for the model configuration page; null while there is no scene.
    virtual ModelEditTarget* EditableModels() { return nullptr; }
    /// Starts a video export of the scene and keeps it running for as long as the host lives,
    /// whichever page the panel shows. Null, with the reason in the log, when none can start
    /// (another export still runs).
    virtual std::shared_ptr<ProjectTavrin::ExportSession> StartExport(ProjectTavrin::ExportJob) { return nullptr; }
    /// The scene tasks that remake the renderer's resources; null where there is no renderer.
    virtual ProjectTavrin::RenderResourceTasks* ResourceTasks() { return nullptr; }
    /// The search that offers files (the videos folder); empty offers none.
    virtual ProjectTavrin::FileSearch LibrarySearch() { return {}; }
};

}  // namespace TavrinApp
