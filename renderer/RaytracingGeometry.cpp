#include "renderer/RaytracingGeometry.h"

#include <algorithm>

#include "Engine/TextureLoader/TextureLoader.h"
#include "model/ExtendedMaterial.h"

namespace ProjectTavrin {

namespace {

uint32_t TextureSlot(const PMXModelGpu& model, int32_t index) {
    const std::vector<ModelTexture>& textures = model.GetTextures();
    if (index >= 0 && static_cast<size_t>(index) < textures.size() && !textures[index].texture.srv.IsNull())
        return textures[index].texture.srv.Gpu();
    return Engine::GetBlankTexture().srv.Gpu();
}

}  // namespace

std::map<std::string, Engine::BottomLevelGeometry> CollectGeometry(const std::vector<PMXModelGpu*>& models) {
    Engine::BottomLevelGeometry all;
    all.name = Engine::kAllGeometryNameText;
    for (PMXModelGpu* model : models) {
        if (!model || !model->HasGpuResources() || !model->GetVertexBuffer().GetResource() || !model->GetIndexBuffer().GetResource())
            continue;
        auto& vertices = model->GetVertexBuffer();
        auto& indices = model->GetIndexBuffer();
        const uint32_t indexTotal = indices.NumElementsPerCopy();
        const std::vector<MaterialBuffer>& materials = model->GetRenderMaterials();
        for (size_t i = 0; i < materials.size(); ++i) {
            const MaterialBuffer& m = materials[i];
            if (m.vertexCount <= 0 || m.shadingModel == 0 || m.shadingModel == uint32_t(Vesma::ShadingModel::ThinTranslucent)) continue;
            const uint32_t begin = static_cast<uint32_t>(std::max(m.beginIndex, 0));
            if (begin >= indexTotal) continue;
            const uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(m.vertexCount), indexTotal - begin) / 3 * 3;
            if (count == 0) continue;
            Engine::GeometryInstance g;
            g.vertexBuffer = vertices.GetResource();
            g.vertexCopyBytes = vertices.CopySize();
            g.vertexCount = vertices.NumElementsPerCopy();
            g.vertexStride = sizeof(Vesma::ModelVertex);
            g.indexBuffer = indices.GetResource();
            g.indexCopyBytes = indices.CopySize();
            g.indexCount = count;
            g.startIndex = begin;
            for (uint32_t f = 0; f < Engine::kFrameCount; ++f) g.materialConstants[f] = model->MaterialAddress(i, f);
            using Engine::GeometryTexture;
            g.textures[size_t(GeometryTexture::Diffuse)] = TextureSlot(*model, m.textureIndex);
            g.textures[size_t(GeometryTexture::Normal)] = TextureSlot(*model, m.normalTextureIndex);
            g.textures[size_t(GeometryTexture::Occlusion)] = TextureSlot(*model, m.occlusionTextureIndex);
            g.textures[size_t(GeometryTexture::Curvature)] = TextureSlot(*model, m.curvatureTextureIndex);
            g.textures[size_t(GeometryTexture::Thickness)] = TextureSlot(*model, m.thicknessTextureIndex);
            g.geometryFlags = 1;
            all.Add(g);
        }
    }
    std::map<std::string, Engine::BottomLevelGeometry> sets;
    if (!all.instances.empty()) sets.emplace(all.name, std::move(all));
    return sets;
}

}  // namespace ProjectTavrin
