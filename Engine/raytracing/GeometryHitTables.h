#pragma once
// Hit-group tables over the ray-traced scene: for each geometry record of every set (sets in name
// order) one record per hit group of the pass (a pipeline that casts several kinds of ray gives
// each its group, and a ray picks its kind by its hit-group offset), each the group's handle
// followed by the range's GeometryHitRecord for one frame's copies, so there is one table per
// frame in flight. Every ray-traced pass that shades
// the scene's surfaces builds its tables here.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/Platform/ShaderTable.h"
#include "Engine/raytracing/RaytracingPipeline.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "shaders/shared/GeometryHitRecord.h"

namespace Engine {

using GeometryHitTables = std::array<std::unique_ptr<Platform::ShaderTable>, kFrameCount>;

/// The local layout of GeometryHitRecord, for pipeline descriptions.
LocalLayout GeometryHitRecordLayout();

Shared::GeometryHitRecord MakeGeometryHitRecord(const GeometryInstance& geometry, uint32_t frame);

/// Tables named `name` (frame 0) and `name` + frame number for the others, with `hitGroups`
/// (ray kinds, in offset order) per geometry. A scene without geometry still gets one record per
/// group (never read: nothing can be hit).
GeometryHitTables BuildGeometryHitTables(Platform::Device& device, const SceneAccelerationStructures& scene,
                                         const Platform::PipelineState& pipeline, const std::vector<std::string>& hitGroups,
                                         const std::string& name);

}  // namespace Engine
