#include "Engine/raytracing/GeometryHitTables.h"

#include <algorithm>

namespace Engine {

LocalLayout GeometryHitRecordLayout() {
    using Kind = ShaderRecordField::Kind;
    return {"GeometryHitRecord",
            {{"material", Kind::DeviceAddress},
             {"indices", Kind::DeviceAddress},
             {"vertices", Kind::DeviceAddress},
             {"diffuseTexture", Kind::BindlessIndex},
             {"normalTexture", Kind::BindlessIndex},
             {"occlusionTexture", Kind::BindlessIndex},
             {"curvatureTexture", Kind::BindlessIndex},
             {"thicknessTexture", Kind::BindlessIndex}}};
}

Shared::GeometryHitRecord MakeGeometryHitRecord(const GeometryInstance& g, uint32_t frame) {
    Shared::GeometryHitRecord r{};
    r.material = g.materialConstants[frame % kFrameCount];
    r.indices = g.IndexAddress(frame);
    r.vertices = g.VertexAddress(frame);
    r.diffuseTexture = g.Texture(GeometryTexture::Diffuse);
    r.normalTexture = g.Texture(GeometryTexture::Normal);
    r.occlusionTexture = g.Texture(GeometryTexture::Occlusion);
    r.curvatureTexture = g.Texture(GeometryTexture::Curvature);
    r.thicknessTexture = g.Texture(GeometryTexture::Thickness);
    return r;
}

GeometryHitTables BuildGeometryHitTables(Platform::Device& device, const SceneAccelerationStructures& scene,
                                         const Platform::PipelineState& pipeline, const std::string& hitGroup, const std::string& name) {
    const void* handle = pipeline.GetShaderIdentifier(hitGroup);
    const uint32_t records = std::max(1u, scene.TotalGeometryCount());
    GeometryHitTables tables;
    for (uint32_t f = 0; f < kFrameCount; ++f) {
        tables[f] = std::make_unique<Platform::ShaderTable>(device, records, sizeof(Shared::GeometryHitRecord),
                                                            f == 0 ? name : name + std::to_string(f));
        for (const auto& [setName, set] : scene.Geometries())
            for (const GeometryInstance& g : set.instances) {
                const Shared::GeometryHitRecord record = MakeGeometryHitRecord(g, f);
                tables[f]->Append(handle, hitGroup, &record, sizeof(record));
            }
    }
    return tables;
}

}  // namespace Engine
