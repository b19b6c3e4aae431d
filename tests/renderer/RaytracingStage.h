#pragma once
// The render stage with ray tracing: the scene structures built from the stage's models, and a
// small test pipeline (tests/SceneRays.*) that fires given rays into them and reports, per ray,
// the geometry record and triangle hit, the distance and the hit range's diffuse texel. Its hit
// tables are the scene's own geometry records, so a test sees what every ray-traced pass sees.
#include <memory>
#include <vector>

#include "Engine/Platform/CommandList.h"
#include "Engine/Platform/ShaderTable.h"
#include "Engine/raytracing/GeometryHitTables.h"
#include "Engine/raytracing/RaytracingPipeline.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "TestShaders.h"
#include "renderer/RaytracingGeometry.h"
#include "shaders/tests/SceneRayConstants.h"
#include "shaders/tests/TestShaderLayouts.h"
#include "tests/renderer/RenderStage.h"

namespace RendererTest {

using Engine::Shared::SceneRay;
using Engine::Shared::SceneRayHit;

inline constexpr uint32_t kMissed = 0xffffffffu;

class RaytracingStage : public RenderStage {
protected:
    void SetUp() override {
        RenderStage::SetUp();
        if (IsSkipped()) return;
        if (!Core().IsRaytracingSupported()) GTEST_SKIP() << "no ray tracing on this device";
    }

    void TearDown() override {
        if (!IsSkipped()) Core().WaitForGpu();
        m_hitTables = {};
        m_scene.reset();
        RenderStage::TearDown();
    }

    /// Builds the scene structures over the stage's models as they stand.
    Engine::SceneAccelerationStructures& BuildScene() {
        m_scene.reset();
        auto geometry = ProjectTavrin::CollectGeometry(ModelGpus());
        EXPECT_FALSE(geometry.empty());
        m_scene = std::make_unique<Engine::SceneAccelerationStructures>(Device(), std::move(geometry));
        if (!m_pipeline) MakePipeline();
        m_hitTables = Engine::BuildGeometryHitTables(Device(), *m_scene, *m_pipeline, {"Hit"}, "SceneRayHits");
        return *m_scene;
    }

    /// Writes every model's vertices and materials into frame `frame`'s copies.
    void UploadModels(uint32_t frame) {
        for (auto* gpu : ModelGpus()) gpu->Upload(frame);
    }

    /// Rebuilds the structures from frame `frame`'s copies and fires `rays` into them.
    std::vector<SceneRayHit> Trace(uint32_t frame, const std::vector<SceneRay>& rays) {
        using namespace Engine::Platform;
        const uint64_t rayBytes = rays.size() * sizeof(SceneRay), hitBytes = rays.size() * sizeof(SceneRayHit);
        auto rayBuffer = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(rayBytes), ResourceState::GenericRead);
        std::memcpy(rayBuffer->Map(), rays.data(), rayBytes);
        auto hitBuffer = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(hitBytes), ResourceState::GenericRead);

        Core().ResetCommandList();
        CommandList& list = *Core().GetCommandList();
        list.SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
        m_scene->BuildAll(list, frame);
        list.SetComputeRootSignature(*m_root);
        list.SetPipelineState(*m_pipeline);
        list.SetComputeRootBufferAddress(0, rayBuffer->GetGpuVirtualAddress());
        list.SetComputeRootBufferAddress(1, hitBuffer->GetGpuVirtualAddress());
        const uint32_t constants[2] = {m_scene->TopLevelDescriptor(), uint32_t(rays.size())};
        list.SetComputeRoot32BitConstants(2, 2, constants, 0);
        DispatchRaysDesc desc;
        desc.rayGeneration = m_rayGen->Range();
        desc.missShaderTable = m_miss->Range();
        desc.hitGroupTable = m_hitTables[frame % Engine::kFrameCount]->Range();
        desc.width = uint32_t(rays.size());
        list.DispatchRays(desc);
        SubmitAndWait();
        std::vector<SceneRayHit> hits(rays.size());
        std::memcpy(hits.data(), hitBuffer->Map(), hitBytes);
        return hits;
    }

    /// A ray from `from` along `direction`.
    static SceneRay Ray(Math::vec3 from, Math::vec3 direction) { return {{from, 0}, {direction, 0}}; }

    std::unique_ptr<Engine::SceneAccelerationStructures> m_scene;

private:
    void MakePipeline() {
        using Engine::Platform::RaytracingShaderStage;
        m_root = Device().CreateRootSignature(TavrinTest::ShaderLayouts::SceneRays());
        Engine::RaytracingPipelineBuilder builder("SceneRays");
        builder.SetGlobalRootSignature(*m_root, "SceneRays");
        builder.AddShader("RayGen", RaytracingShaderStage::RayGeneration, TavrinTest::Shaders::SceneRays_rgen());
        builder.AddShader("Miss", RaytracingShaderStage::Miss, TavrinTest::Shaders::SceneRays_rmiss());
        builder.AddShader("ClosestHit", RaytracingShaderStage::ClosestHit, TavrinTest::Shaders::SceneRays_rchit());
        builder.AddHitGroup("Hit", "ClosestHit");
        builder.SetShaderConfig(sizeof(SceneRayHit), 8);
        builder.SetLocalLayout(Engine::GeometryHitRecordLayout(), {"Hit"});
        m_pipeline = builder.Build(Device());
        m_rayGen = std::make_unique<Engine::Platform::ShaderTable>(Device(), 1, 0, "SceneRayGen");
        m_rayGen->Append(m_pipeline->GetShaderIdentifier("RayGen"), "RayGen");
        m_miss = std::make_unique<Engine::Platform::ShaderTable>(Device(), 1, 0, "SceneRayMiss");
        m_miss->Append(m_pipeline->GetShaderIdentifier("Miss"), "Miss");
    }

    std::shared_ptr<Engine::Platform::RootSignature> m_root;
    std::shared_ptr<Engine::Platform::PipelineState> m_pipeline;
    std::unique_ptr<Engine::Platform::ShaderTable> m_rayGen, m_miss;
    Engine::GeometryHitTables m_hitTables;
};

}  // namespace RendererTest
