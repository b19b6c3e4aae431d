#pragma once
// What the passes of a frame hand the model draw. The frame starts with every field "none"; each
// pass fills its own fields in its step (the shadow map in ShadowMap, the sky's lighting cube in
// SkyLightingMaps, ...), and the model pass copies the whole record into its per-frame block
// (shaders/shared/ModelDraw.h), where the model shaders test each binding before reading it. A
// new pass that feeds the model draw adds its fields here and their copy in ModelPass::Record,
// not one more parameter to the draw.
#include <cstdint>

namespace ProjectTavrin {

/// A descriptor table that is not bound: the shaders skip what it would give.
inline constexpr uint32_t kNoDescriptor = 0xffffffffu;

struct PassResults {
    // Sun shadows: the moment array "VarianceShadowMap" (heap index of its array view) and this
    // frame's ShadowData slot (device address). Both none while the sun is off.
    uint32_t varianceShadowMap = kNoDescriptor;
    uint64_t shadowData = 0;

    // Sky: the accumulated ambient cube of the environment.
    uint32_t ambientCubemap = kNoDescriptor;

    // Occlusion: the screen-space or the ray-traced result, whichever AO_Mode asks for.
    uint32_t occlusionMap = kNoDescriptor;

    // Ray-traced specular reflections.
    uint32_t specularReflectionMap = kNoDescriptor;

    // Probe GI: this frame's volume records (device address), their count and the probe table.
    uint64_t probeVolumes = 0;
    uint32_t probeVolumeCount = 0;
    uint32_t probeTable = kNoDescriptor;

    // Voxel GI: the lit radiance volume, its constants and the two voxel write targets.
    uint32_t voxelRadiance = kNoDescriptor;
    uint64_t voxelConstants = 0;
    uint32_t voxelWrite0 = kNoDescriptor;
    uint32_t voxelWrite1 = kNoDescriptor;
};

}  // namespace ProjectTavrin
