#pragma once
// What the renderer's resource-changing scene tasks last applied: the loaded environment and
// colour table, the size the voxel volumes were made for and the probe volumes' configuration.
// Read and written under the engine lock. The counts say how often each was actually redone.
#include <cstdint>
#include <string>

#include "renderer/ProbeVolumeParams.h"
#include "renderer/VoxelGiParams.h"

namespace ProjectTavrin {

struct RenderResourceState {
    /// Empty: none loaded; "<Sample>": the built-in one; else the file's path.
    std::string environmentFile;
    std::string colorFilterLutFile;
    int32_t voxelResolution = VoxelGiParams{}.Resolution;
    float voxelRegionSize = VoxelGiParams{}.RegionSize;
    ProbeVolumeParams probeVolumes;

    uint32_t environmentLoads = 0;
    /// Environment files that failed to load (the sky before them stayed).
    uint32_t environmentFailures = 0;
    uint32_t colorFilterLoads = 0;
    uint32_t voxelRebuilds = 0;
    uint32_t probeReconfigurations = 0;
};

}  // namespace ProjectTavrin
