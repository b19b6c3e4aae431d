#include "renderer/VoxelClipmap.h"

#include <cmath>

namespace ProjectTavrin {

namespace {

constexpr float kAnchorDistance = 64.0f;
constexpr float kSnapVoxels[kVoxelLevels] = {2, 2, 2, 2, 2, 1};

float Component(const Math::vec3& v, uint32_t axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

}  // namespace

void VoxelClipmap::Place(const Math::vec3& cameraPosition, const Math::vec3& viewDirection, int32_t resolution, float regionSize) {
    m_resolution = resolution;
    m_anchor = cameraPosition + viewDirection * kAnchorDistance;
    for (uint32_t i = 0; i < kVoxelLevels; ++i) {
        VoxelLevel& level = m_levels[i];
        level.extent = regionSize / float(1u << (kVoxelLevels - 1 - i));
        level.voxelSize = level.extent / float(resolution);
        const float step = SnapStep(i);
        const Math::vec3 snapped{std::trunc(m_anchor.x / step) * step, std::trunc(m_anchor.y / step) * step,
                                 std::trunc(m_anchor.z / step) * step};
        const float half = level.extent * 0.5f;
        level.regionMin = snapped - Math::vec3{half, half, half};
        level.regionMax = snapped + Math::vec3{half, half, half};
    }
}

float VoxelClipmap::SnapStep(uint32_t level) const { return kSnapVoxels[level] * m_levels.at(level).voxelSize; }

std::array<int32_t, 3> VoxelClipmap::FinerLevelOffset(uint32_t level) const {
    const VoxelLevel& coarse = m_levels.at(level);
    const VoxelLevel& fine = m_levels.at(level - 1);
    std::array<int32_t, 3> offset{};
    for (uint32_t axis = 0; axis < 3; ++axis) {
        const float voxels = (Component(fine.regionMin, axis) - Component(coarse.regionMin, axis)) / coarse.voxelSize;
        offset[axis] = int32_t(std::trunc(voxels + std::copysign(0.1f, voxels)));
    }
    return offset;
}

Math::mat4 VoxelClipmap::ViewProjection(uint32_t level, uint32_t axis) const {
    const VoxelLevel& l = m_levels.at(level);
    const Math::vec3 centre = (l.regionMin + l.regionMax) * 0.5f;
    const float half = l.extent * 0.5f + l.voxelSize;
    const uint32_t u = (axis + 1) % 3, v = (axis + 2) % 3;
    Math::mat4 m{};
    m[0][0] = m[1][1] = m[2][2] = 0.0f;
    // Clip x and y from the two other axes, depth along `axis` from the near face to the far one.
    m[u][0] = 1.0f / half;
    m[3][0] = -Component(centre, u) / half;
    m[v][1] = 1.0f / half;
    m[3][1] = -Component(centre, v) / half;
    m[axis][2] = 0.5f / half;
    m[3][2] = 0.5f - Component(centre, axis) * 0.5f / half;
    m[3][3] = 1.0f;
    return m;
}

Engine::Shared::VoxelGiConstants VoxelClipmap::ModelConstants(const VoxelGiParams& params) const {
    Engine::Shared::VoxelGiConstants c{};
    Math::vec4* corners[kVoxelLevels] = {&c.levelCorner0, &c.levelCorner1, &c.levelCorner2,
                                         &c.levelCorner3, &c.levelCorner4, &c.levelCorner5};
    for (uint32_t i = 0; i < kVoxelLevels; ++i) *corners[i] = {m_levels[i].regionMin, m_levels[i].voxelSize};
    c.resolution = m_resolution;
    c.anchor = m_anchor;
    c.anchorStep = SnapStep(0);
    c.coneTracing1 = params.ConeTracing1;
    c.coneTracing2 = params.ConeTracing2;
    c.coneTracing3 = params.ConeTracing3;
    c.coneTracing4 = params.ConeTracing4;
    return c;
}

}  // namespace ProjectTavrin
