#pragma once
// The scene tasks that change the renderer's resources for the configuration page: loading an
// environment or a colour table, rebuilding the voxel volumes, reconfiguring the probe volumes.
// Each runs through MainRenderer::RunSceneTask, so it never overlaps a frame; while another scene
// task runs the request is dropped (the log says so) and the call returns false.
//
// The colour table and the environment are loaded for real when the renderer has a device (a
// file that fails to load keeps the previous sky and is not recorded as loaded). The voxel and
// probe passes are not part of the engine yet: for them the task records the choice in the
// renderer's RenderResourceState, where those passes will find it.
#include <cstdint>
#include <string>

#include "renderer/ProbeVolumeParams.h"
#include "renderer/SettingsExchange.h"

namespace ProjectTavrin {

class MainRenderer;

class RenderResourceTasks {
public:
    /// The renderer must outlive this object (the process-wide one always does).
    explicit RenderResourceTasks(MainRenderer& renderer) : m_renderer(renderer) {}

    /// `file`: "<Sample>" for the built-in image, else a Radiance file.
    bool LoadEnvironment(std::string file);
    /// `file`: "<Sample>" for the built-in table, else a .cube file.
    bool LoadColorFilterLut(std::string file);
    /// The volumes are remade only when the resolution changes; a new region size alone takes
    /// effect at the next placement.
    bool RebuildVoxelVolumes(int32_t resolution, float regionSize);
    bool ReconfigureProbeVolumes(const ProbeVolumeParams& params);
    /// One task that brings every resource in line with `settings` (after a reset to defaults).
    bool MatchSettings(const FrameSettings& settings);

private:
    MainRenderer& m_renderer;
};

/// Brings the renderer's resources in line with `settings`, redoing only what differs: an empty
/// file name unloads. The caller holds the engine lock with the GPU idle (a scene task).
void MatchResourcesToSettings(MainRenderer& renderer, const FrameSettings& settings);

}  // namespace ProjectTavrin
