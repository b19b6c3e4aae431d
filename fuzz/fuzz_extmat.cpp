// Feeds arbitrary bytes to the extended-material reader. Every value read must lie in its range
// (0-1 for the unit values and colours, finite and non-negative for emission and subsurface), also
// after writing what was read and reading it back.
#include "model/ExtendedMaterial.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/MessageLog.h"

namespace {

void CheckUnit(float v) {
    if (!(v >= 0.0f && v <= 1.0f)) std::abort();
}

void CheckNonNegative(float v) {
    if (!(v >= 0.0f) || !std::isfinite(v)) std::abort();
}

void Check(const Vesma::ExtendedMaterial& m) {
    for (float v : {m.metallic, m.roughness, m.anisotropy, m.clearCoat, m.clearCoatRoughness, m.cloth, m.curvature,
                    m.thickness, m.occlusion})
        CheckUnit(v);
    CheckNonNegative(m.emission);
    CheckNonNegative(m.subsurface);
    for (const Math::vec3* c : {&m.baseColorTint, &m.specularTint, &m.clothFuzzColor, &m.subsurfaceColor})
        for (int i = 0; i < 3; ++i) CheckUnit((*c)[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Vesma::ExtendedMaterialMap map;
    Vesma::ParseExtendedMaterials(std::span<const uint8_t>(data, size), map);
    MessageLog::Instance().Clear();
    std::vector<Vesma::NamedExtendedMaterial> found;
    for (const auto& [name, values] : map.Entries()) {
        Check(values);
        found.push_back({name, values});
    }
    // What was read is written and read again: still every value in range, the shading models kept.
    const std::string text = Vesma::FormatExtendedMaterials(found);
    Vesma::ExtendedMaterialMap again;
    Vesma::ParseExtendedMaterials(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), again);
    MessageLog::Instance().Clear();
    for (const auto& [name, values] : again.Entries()) Check(values);
    for (const auto& entry : found) {
        const Vesma::ExtendedMaterial* back = again.Find(entry.name);
        if (back && back->shadingModel != entry.values.shadingModel) std::abort();
    }
    return 0;
}
