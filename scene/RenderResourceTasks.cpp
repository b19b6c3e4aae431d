#include "scene/RenderResourceTasks.h"

#include "Engine/TextureLoader/ColorFilterLut.h"
#include "renderer/passes/VoxelGiPass.h"
#include "renderer/SceneRenderer.h"
#include "scene/MainRenderer.h"

namespace ProjectTavrin {
namespace {

// Each Apply runs under the engine lock with the GPU idle.

void ApplyEnvironment(MainRenderer& renderer, const std::string& file) {
    RenderResourceState& state = renderer.GetResourceState();
    // Without a device there is no sky to load; the choice is still recorded.
    if (SceneRenderer* scene = renderer.GetSceneRenderer()) {
        if (file.empty()) {
            scene->UnloadEnvironment();
        } else if (!scene->LoadEnvironment(file)) {
            // The previous sky stays, and so does the record of which file it came from.
            ++state.environmentFailures;
            return;
        }
    }
    state.environmentFile = file;
    ++state.environmentLoads;
}

void ApplyColorFilterLut(MainRenderer& renderer, const std::string& file) {
    // Without a device there is no table to load; the choice is still recorded.
    if (renderer.GetSceneRenderer()) {
        if (file.empty()) Engine::GetColorFilterLut() = Engine::TextureResource{};
        else Engine::LoadColorFilterLut(file);
    }
    RenderResourceState& state = renderer.GetResourceState();
    state.colorFilterLutFile = file;
    ++state.colorFilterLoads;
}

void ApplyVoxelSize(MainRenderer& renderer, int32_t resolution, float regionSize) {
    // Volumes already made (voxel GI has run) are remade here, with the GPU idle, rather than by
    // the next frame; until then none exist and the first voxel frame makes them.
    SceneRenderer* sceneRenderer = renderer.GetSceneRenderer();
    VoxelGiPass* voxels = sceneRenderer ? sceneRenderer->GetVoxelGiPass() : nullptr;
    if (voxels && voxels->VolumeResolution() != 0) voxels->CreateVolumes(resolution);
    RenderResourceState& state = renderer.GetResourceState();
    if (resolution != state.voxelResolution) {
        state.voxelResolution = resolution;
        ++state.voxelRebuilds;
    }
    state.voxelRegionSize = regionSize;
}

void ApplyProbeVolumes(MainRenderer& renderer, const ProbeVolumeParams& params) {
    RenderResourceState& state = renderer.GetResourceState();
    state.probeVolumes = params;
    ++state.probeReconfigurations;
    if (SceneRenderer* sceneRenderer = renderer.GetSceneRenderer()) sceneRenderer->SetProbeVolumes(params);
}

bool SameProbeVolumes(const ProbeVolumeParams& a, const ProbeVolumeParams& b) {
    return a.Origin.x == b.Origin.x && a.Origin.y == b.Origin.y && a.Origin.z == b.Origin.z && a.Size == b.Size &&
           a.Count == b.Count && a.DistanceExponent == b.DistanceExponent;
}

}  // namespace

bool RenderResourceTasks::LoadEnvironment(std::string file) {
    return m_renderer.RunSceneTask([&renderer = m_renderer, file = std::move(file)] { ApplyEnvironment(renderer, file); });
}

bool RenderResourceTasks::LoadColorFilterLut(std::string file) {
    return m_renderer.RunSceneTask([&renderer = m_renderer, file = std::move(file)] { ApplyColorFilterLut(renderer, file); });
}

bool RenderResourceTasks::RebuildVoxelVolumes(int32_t resolution, float regionSize) {
    return m_renderer.RunSceneTask(
        [&renderer = m_renderer, resolution, regionSize] { ApplyVoxelSize(renderer, resolution, regionSize); });
}

bool RenderResourceTasks::ReconfigureProbeVolumes(const ProbeVolumeParams& params) {
    return m_renderer.RunSceneTask([&renderer = m_renderer, params] { ApplyProbeVolumes(renderer, params); });
}

bool RenderResourceTasks::MatchSettings(const FrameSettings& settings) {
    return m_renderer.RunSceneTask([&renderer = m_renderer, settings] { MatchResourcesToSettings(renderer, settings); });
}

void MatchResourcesToSettings(MainRenderer& renderer, const FrameSettings& settings) {
    const RenderResourceState& state = renderer.GetResourceState();
    const PostParams& post = settings.post;
    if (post.EnvironmentFile != state.environmentFile) ApplyEnvironment(renderer, post.EnvironmentFile);
    if (post.ColorFilterLutFile != state.colorFilterLutFile) ApplyColorFilterLut(renderer, post.ColorFilterLutFile);
    ApplyVoxelSize(renderer, post.voxel.Resolution, post.voxel.RegionSize);
    if (!SameProbeVolumes(post.probes, state.probeVolumes)) ApplyProbeVolumes(renderer, post.probes);
}

}  // namespace ProjectTavrin
