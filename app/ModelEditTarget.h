#pragma once
// What the model configuration page edits: the scene's models by index (scene order), their
// render material blocks and their placement. The page holds no model pointers: every call names
// the model and material again, and an index the scene no longer has reads nothing and writes
// nothing. Implementations make each write atomic with respect to the frames that read the data.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Math.h"
#include "renderer/MaterialBuffer.h"

namespace TavrinApp {

/// A model's placement: rotation in radians (roll about z, pitch about x, yaw about y) and
/// translation.
struct ModelPlacement {
    Math::vec3 rotation;
    Math::vec3 translation;
};

class ModelEditTarget {
public:
    virtual ~ModelEditTarget() = default;

    /// The models' names, in scene order.
    virtual std::vector<std::u16string> ModelNames() const = 0;
    /// The names of the model's render materials, in material order; empty for a model without
    /// render materials (no graphics device) or an index out of range.
    virtual std::vector<std::u16string> MaterialNames(std::size_t model) const = 0;

    /// Copies the material's render block into `block`; false when there is no such material.
    virtual bool ReadMaterial(std::size_t model, std::size_t material, ProjectTavrin::MaterialBuffer& block) const = 0;
    /// Runs `edit` on the material's render block; false (and no call) when there is none.
    virtual bool EditMaterial(std::size_t model, std::size_t material,
                              const std::function<void(ProjectTavrin::MaterialBuffer&)>& edit) = 0;
    /// The block becomes the default block (its index range kept).
    virtual void ResetMaterial(std::size_t model, std::size_t material) = 0;
    /// The block as built at load.
    virtual void RestoreMaterial(std::size_t model, std::size_t material) = 0;

    /// The file the model's extended values are saved to; empty when it has none (the built-in
    /// sample model, an index out of range).
    virtual std::filesystem::path MaterialFilePath(std::size_t model) const = 0;
    /// Writes every material's extended values to that file; false when writing failed (the
    /// message log says why) or the model has no render materials.
    virtual bool SaveMaterials(std::size_t model) = 0;

    /// False for an index out of range.
    virtual bool ReadPlacement(std::size_t model, ModelPlacement& placement) const = 0;
    virtual void SetPlacement(std::size_t model, const ModelPlacement& placement) = 0;

    /// Asks for the ray-traced scene to be built again (its objects depend on which materials are
    /// drawn and how); false when the request could not be queued.
    virtual bool RebuildRaytracingScene() = 0;
};

}  // namespace TavrinApp
