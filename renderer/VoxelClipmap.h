#pragma once
// Where the six clipmap levels of the voxel volume lie this frame. Every level is a cube of
// res^3 voxels centred near the point 64 units ahead of the camera; level i spans
// regionSize / 2^(5 - i), so each level doubles the one before. A level moves only by whole snap
// steps (two of its voxels, one for the coarsest), so a slowly moving camera does not make the
// voxels crawl.
#include <array>
#include <cstdint>

#include "core/Math.h"
#include "renderer/VoxelGiParams.h"
#include "shaders/shared/VoxelGi.h"

namespace ProjectTavrin {

inline constexpr uint32_t kVoxelLevels = 6;

struct VoxelLevel {
    Math::vec3 regionMin{}, regionMax{};
    float extent = 0, voxelSize = 0;
};

class VoxelClipmap {
public:
    /// Places every level around `cameraPosition` + 64 x `viewDirection` (a unit vector).
    void Place(const Math::vec3& cameraPosition, const Math::vec3& viewDirection, int32_t resolution, float regionSize);

    int32_t Resolution() const { return m_resolution; }
    const VoxelLevel& Level(uint32_t level) const { return m_levels.at(level); }
    const Math::vec3& Anchor() const { return m_anchor; }
    /// The corner of level `level - 1` inside level `level` (1 .. 5), in voxels of `level`,
    /// each component pushed 0.1 away from zero before it is truncated.
    std::array<int32_t, 3> FinerLevelOffset(uint32_t level) const;
    /// The orthographic view-projection of `level` looking along `axis` (0 x, 1 y, 2 z), row-major
    /// for row vectors: the level's cube plus one voxel on each side fills the clip square, depth
    /// 0 to 1 along the axis.
    Math::mat4 ViewProjection(uint32_t level, uint32_t axis) const;
    /// The block the model draw reads, with the cone tracer's constants from `params`.
    Engine::Shared::VoxelGiConstants ModelConstants(const VoxelGiParams& params) const;
    /// The snap step of `level`: two voxels, one for the coarsest level.
    float SnapStep(uint32_t level) const;

private:
    int32_t m_resolution = 0;
    Math::vec3 m_anchor{};
    std::array<VoxelLevel, kVoxelLevels> m_levels{};
};

}  // namespace ProjectTavrin
