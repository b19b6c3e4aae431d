#pragma once
// The shading-model drop-down of the model configuration page: its items in list order, how a
// material's value maps to an item and back, and which material controls each item shows. Values
// without an item of their own (5, 7, 9, 10 and anything else) show as Default.
#include <array>
#include <cstdint>
#include <string_view>

namespace TavrinApp {

/// The drop-down's items, in list order.
inline constexpr int kShadingModelItemCount = 8;

/// The ShadingModel value of item `index` (an index outside the list gives Default).
uint32_t ShadingModelOfItem(int index);
/// The item that shows `value`.
int ItemOfShadingModel(uint32_t value);
/// The item's label.
std::string_view ShadingModelItemLabel(int index);

/// Which material controls go with the chosen shading model; roughness, anisotropy, occlusion
/// and the base-colour and specular tints are always shown.
struct MaterialControlVisibility {
    bool metallic = true;
    bool emission = true;
    bool thickness = false;
    bool curvature = false;
    bool subsurface = false;
    bool subsurfaceColor = false;
    bool clearCoat = false;
    bool clearCoatRoughness = false;
    bool cloth = false;
    bool clothFuzzColor = false;

    bool operator==(const MaterialControlVisibility&) const = default;
};

MaterialControlVisibility VisibilityOfItem(int index);

/// How the renderer sorts a material: never drawn (0), drawn in the transparent pass (11) or with
/// the opaque ones. The ray-traced scene depends on it.
enum class MaterialCategory { NotDrawn, Transparent, Opaque };
MaterialCategory CategoryOfShadingModel(uint32_t value);

}  // namespace TavrinApp
