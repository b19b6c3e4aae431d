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
                                         const Platform::PipelineState& pipeline, const std::vector<std::string>& hitGroups,
                                         const std::string& name) {
    std::vector<const void*> handles;
    for (const std::string& group : hitGroups) handles.push_back(pipeline.GetShaderIdentifier(group));
    const uint32_t groups = uint32_t(hitGroups.size());
    const uint32_t records = groups * std::max(1u, scene.TotalGeometryCount());
    GeometryHitTables tables;
    for (uint32_t f = 0; f < kFrameCount; ++f) {
        tables[f] = std::make_unique<Platform::ShaderTable>(device, records, sizeof(Shared::GeometryHitRecord),
                                                            f == 0 ? name : name + std::to_string(f));
        auto append = [&](const Shared::GeometryHitRecord& record) {
            for (uint32_t g = 0; g < groups; ++g) tables[f]->Append(handles[g], hitGroups[g], &record, sizeof(record));
        };
        for (const auto& [setName, set] : scene.Geometries())
            for (const GeometryInstance& g : set.instances) append(MakeGeometryHitRecord(g, f));
        if (tables[f]->RecordCount() == 0) append(Shared::GeometryHitRecord{});
    }
    return tables;
}

}  // namespace Engine
