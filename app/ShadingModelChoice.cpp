#include "app/ShadingModelChoice.h"

#include "model/ExtendedMaterial.h"

namespace TavrinApp {
namespace {

using Vesma::ShadingModel;

struct Item {
    ShadingModel value;
    std::string_view label;
};

// List order, not value order.
constexpr std::array<Item, kShadingModelItemCount> kItems{{
    {ShadingModel::None, "None (not drawn)"},
    {ShadingModel::Default, "Default"},
    {ShadingModel::ThinTranslucent, "Thin translucent"},
    {ShadingModel::Subsurface, "Subsurface"},
    {ShadingModel::Skin, "Skin"},
    {ShadingModel::ClearCoat, "Clear coat"},
    {ShadingModel::Foliage, "Foliage"},
    {ShadingModel::Cloth, "Cloth"},
}};

constexpr int kDefaultItem = 1;

bool InList(int index) { return index >= 0 && index < kShadingModelItemCount; }

}  // namespace

uint32_t ShadingModelOfItem(int index) {
    return static_cast<uint32_t>(kItems[static_cast<std::size_t>(InList(index) ? index : kDefaultItem)].value);
}

int ItemOfShadingModel(uint32_t value) {
    for (int i = 0; i < kShadingModelItemCount; ++i)
        if (static_cast<uint32_t>(kItems[static_cast<std::size_t>(i)].value) == value) return i;
    return kDefaultItem;
}

std::string_view ShadingModelItemLabel(int index) {
    return InList(index) ? kItems[static_cast<std::size_t>(index)].label : std::string_view();
}

MaterialControlVisibility VisibilityOfItem(int index) {
    MaterialControlVisibility v;
    switch (InList(index) ? kItems[static_cast<std::size_t>(index)].value : ShadingModel::Default) {
    case ShadingModel::None:
    case ShadingModel::Default:
        break;
    case ShadingModel::ThinTranslucent:
        v.emission = false;
        v.metallic = false;
        break;
    case ShadingModel::Subsurface:
        v.thickness = v.curvature = v.subsurface = v.subsurfaceColor = true;
        break;
    case ShadingModel::Skin:
        v.curvature = v.subsurface = v.subsurfaceColor = true;
        break;
    case ShadingModel::ClearCoat:
        v.clearCoat = v.clearCoatRoughness = true;
        break;
    case ShadingModel::Foliage:
        v.subsurfaceColor = true;
        break;
    case ShadingModel::Cloth:
        v.cloth = v.clothFuzzColor = true;
        break;
    }
    return v;
}

MaterialCategory CategoryOfShadingModel(uint32_t value) {
    if (value == static_cast<uint32_t>(ShadingModel::None)) return MaterialCategory::NotDrawn;
    if (value == static_cast<uint32_t>(ShadingModel::ThinTranslucent)) return MaterialCategory::Transparent;
    return MaterialCategory::Opaque;
}

}  // namespace TavrinApp
