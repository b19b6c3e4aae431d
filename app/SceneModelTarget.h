#pragma once
// The model configuration page's target over the engine object's live scene. Every read and
// write takes the engine lock, so a frame never sees half of an edit and the scene cannot be
// replaced under a call; an edit reaches the GPU with the next frame's upload. The rebuild of the
// ray-traced scene runs as a scene task.
#include "app/ModelEditTarget.h"

namespace ProjectTavrin {
class MainRenderer;
class PMXModelGpu;
}  // namespace ProjectTavrin

namespace Vesma {
class PMXModel;
}

namespace TavrinApp {

class SceneModelTarget : public ModelEditTarget {
public:
    /// The renderer must outlive this object.
    explicit SceneModelTarget(ProjectTavrin::MainRenderer& renderer);

    std::vector<std::u16string> ModelNames() const override;
    std::vector<std::u16string> MaterialNames(std::size_t model) const override;
    bool ReadMaterial(std::size_t model, std::size_t material, ProjectTavrin::MaterialBuffer& block) const override;
    bool EditMaterial(std::size_t model, std::size_t material,
                      const std::function<void(ProjectTavrin::MaterialBuffer&)>& edit) override;
    void ResetMaterial(std::size_t model, std::size_t material) override;
    void RestoreMaterial(std::size_t model, std::size_t material) override;
    std::filesystem::path MaterialFilePath(std::size_t model) const override;
    bool SaveMaterials(std::size_t model) override;
    bool ReadPlacement(std::size_t model, ModelPlacement& placement) const override;
    void SetPlacement(std::size_t model, const ModelPlacement& placement) override;
    bool RebuildRaytracingScene() override;

private:
    // Callers hold the engine lock.
    Vesma::PMXModel* Model(std::size_t model) const;
    ProjectTavrin::PMXModelGpu* Gpu(std::size_t model) const;

    ProjectTavrin::MainRenderer& m_renderer;
};

}  // namespace TavrinApp
