#include "app/SceneModelTarget.h"

#include "model/ExtendedMaterial.h"
#include "model/PMXModel.h"
#include "renderer/PMXModelGpu.h"
#include "scene/MainRenderer.h"

namespace TavrinApp {

using ProjectTavrin::MaterialBuffer;

SceneModelTarget::SceneModelTarget(ProjectTavrin::MainRenderer& renderer) : m_renderer(renderer) {}

Vesma::PMXModel* SceneModelTarget::Model(std::size_t model) const {
    const auto& models = m_renderer.GetScene().models;
    return model < models.size() ? models[model].get() : nullptr;
}

ProjectTavrin::PMXModelGpu* SceneModelTarget::Gpu(std::size_t model) const {
    const auto& gpus = m_renderer.GetScene().modelGpus;
    return model < gpus.size() ? gpus[model].get() : nullptr;
}

std::vector<std::u16string> SceneModelTarget::ModelNames() const {
    auto lock = m_renderer.LockEngine();
    std::vector<std::u16string> names;
    for (const auto& model : m_renderer.GetScene().models) {
        if (!model) {
            names.emplace_back();
            continue;
        }
        // A model without a name of its own (or one whose file could not be read) goes by its file.
        std::u16string name = model->GetModelName();
        if (name.empty()) name = std::filesystem::path(model->GetModelPath()).filename().u16string();
        names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::u16string> SceneModelTarget::MaterialNames(std::size_t model) const {
    auto lock = m_renderer.LockEngine();
    std::vector<std::u16string> names;
    const Vesma::PMXModel* pmx = Model(model);
    const ProjectTavrin::PMXModelGpu* gpu = Gpu(model);
    if (!pmx || !gpu) return names;
    const auto& materials = pmx->GetMaterials();
    const std::size_t count = gpu->GetRenderMaterials().size();
    for (std::size_t i = 0; i < count; ++i) names.push_back(i < materials.size() ? materials[i].name : std::u16string());
    return names;
}

bool SceneModelTarget::ReadMaterial(std::size_t model, std::size_t material, MaterialBuffer& block) const {
    auto lock = m_renderer.LockEngine();
    const ProjectTavrin::PMXModelGpu* gpu = Gpu(model);
    if (!gpu || material >= gpu->GetRenderMaterials().size()) return false;
    block = gpu->GetRenderMaterials()[material];
    return true;
}

bool SceneModelTarget::EditMaterial(std::size_t model, std::size_t material, const std::function<void(MaterialBuffer&)>& edit) {
    auto lock = m_renderer.LockEngine();
    ProjectTavrin::PMXModelGpu* gpu = Gpu(model);
    if (!gpu || material >= gpu->GetRenderMaterials().size()) return false;
    edit(gpu->GetRenderMaterials()[material]);
    return true;
}

void SceneModelTarget::ResetMaterial(std::size_t model, std::size_t material) {
    auto lock = m_renderer.LockEngine();
    if (ProjectTavrin::PMXModelGpu* gpu = Gpu(model)) gpu->ResetMaterial(material);
}

void SceneModelTarget::RestoreMaterial(std::size_t model, std::size_t material) {
    auto lock = m_renderer.LockEngine();
    if (ProjectTavrin::PMXModelGpu* gpu = Gpu(model)) gpu->RestoreMaterial(material);
}

std::filesystem::path SceneModelTarget::MaterialFilePath(std::size_t model) const {
    auto lock = m_renderer.LockEngine();
    const Vesma::PMXModel* pmx = Model(model);
    return pmx ? Vesma::ExtendedMaterialPath(pmx->GetModelPath()) : std::filesystem::path();
}

bool SceneModelTarget::SaveMaterials(std::size_t model) {
    // Under the lock as well: the file is written from the blocks the frames read.
    auto lock = m_renderer.LockEngine();
    const ProjectTavrin::PMXModelGpu* gpu = Gpu(model);
    return gpu && gpu->WriteExtendedMaterials();
}

bool SceneModelTarget::ReadPlacement(std::size_t model, ModelPlacement& placement) const {
    auto lock = m_renderer.LockEngine();
    const Vesma::PMXModel* pmx = Model(model);
    if (!pmx) return false;
    placement.rotation = pmx->GetPlacementRotation();
    placement.translation = pmx->GetPlacementTranslation();
    return true;
}

void SceneModelTarget::SetPlacement(std::size_t model, const ModelPlacement& placement) {
    auto lock = m_renderer.LockEngine();
    if (Vesma::PMXModel* pmx = Model(model)) pmx->SetPlacement(placement.rotation, placement.translation);
}

bool SceneModelTarget::RebuildRaytracingScene() {
    // While a scene task runs the scene is not ready; asking then would only be refused (and
    // logged), so the caller asks again later.
    if (!m_renderer.IsSceneReady()) return false;
    ProjectTavrin::MainRenderer* renderer = &m_renderer;
    return m_renderer.RunSceneTask([renderer] { renderer->BuildRaytracingScene(); });
}

}  // namespace TavrinApp
