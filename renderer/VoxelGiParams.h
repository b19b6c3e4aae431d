#pragma once
// Voxel cone tracing: the clipmap's size and the constants its voxelisation and cone tracing
// read. Changing Resolution or RegionSize asks a scene task to rebuild the volumes.
#include <cstdint>

#include "core/Math.h"

namespace ProjectTavrin {

struct VoxelGiParams {
    /// Voxels per side of each clipmap level: 96, 128 or 160.
    int32_t Resolution = 96;
    /// Extent of the coarsest level in world units; each finer level halves it.
    float RegionSize = 2048.0f;
    /// Ambient term added while voxelising.
    float Ambient = 0.0f;
    // The cone tracer's four tuning constants; the page gives the second as a whole number.
    float ConeTracing1 = 1.0f;
    float ConeTracing2 = 1.0f;
    float ConeTracing3 = 1.5f;
    float ConeTracing4 = 64.0f;
    // Copies of the sun's settings (direction, colour, shadow switch), derived by the settings
    // exchange from RenderConfig.
    Math::vec3 SunDir{1.0f, 1.0f, 1.0f};
    int32_t EnableShadow = 0;
    Math::vec3 SunColor{1.0f, 1.0f, 1.0f};
};

/// The clipmap resolutions offered, by list position.
inline constexpr int32_t kVoxelResolutions[] = {96, 128, 160};

}  // namespace ProjectTavrin
