#pragma once
// The ray-tracing pipeline shape of the traced screen effects (occlusion, reflections): a
// ray-generation shader that fires a camera ray per pixel of the effect's image, a closest-hit
// and a miss shader for that ray, and another pair for the rays cast from its hit. Exports and
// hit groups are named after the effect's prefix ("AO": AORaygenShader, AOClosestHitShader,
// AOBounceClosestHitShader, AOMissShader, AOBounceMissShader, AOHitGroup, AOBounceHitGroup).
// The tables: ray generation, the two misses in that order, and per frame slot two hit records
// per geometry of the scene (the camera ray's group, then the other), so a ray picks its kind
// by hit-group offset 0 or 1 with stride 2.
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/Platform/ShaderTable.h"
#include "Engine/raytracing/GeometryHitTables.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"

namespace ProjectTavrin {

struct CameraRayShaders {
    std::string prefix;
    std::span<const uint32_t> rayGen, closestHit, bounceClosestHit, miss, bounceMiss;
};

class CameraRayPipeline {
public:
    /// `payloadBytes`: the largest payload; `recursion`: the deepest chain of rays from the
    /// ray generation on. The geometry of `scene` must outlive the pipeline.
    CameraRayPipeline(Engine::Platform::Device& device, const Engine::SceneAccelerationStructures& scene,
                      const Engine::Platform::RootSignatureDesc& globalLayout, const std::string& globalName,
                      const CameraRayShaders& shaders, uint32_t payloadBytes, uint32_t recursion);

    /// Binds the global layout and the pipeline on `list`.
    void Bind(Engine::Platform::CommandList& list) const;
    /// Dispatches a `width` x `height` launch with frame slot `slot`'s hit records.
    void DispatchRays(Engine::Platform::CommandList& list, uint32_t slot, uint32_t width, uint32_t height) const;

private:
    std::shared_ptr<Engine::Platform::RootSignature> m_globalRoot;
    std::shared_ptr<Engine::Platform::PipelineState> m_pipeline;
    std::unique_ptr<Engine::Platform::ShaderTable> m_rayGen, m_miss;
    Engine::GeometryHitTables m_hitGroups;
};

/// Zeroes `buffers` (storage images; left in unordered access) and waits for the writes, so a
/// history that holds no frames yet reads as empty rather than as whatever the memory held.
void ClearToZero(Engine::Platform::CommandList& list, std::initializer_list<Engine::ColorBuffer*> buffers);

}  // namespace ProjectTavrin
