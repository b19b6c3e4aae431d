#pragma once
// The physically based values a PMX material lacks (roughness, metallic, subsurface, clear coat,
// cloth ...) and its shading model, kept per material name in an XML file beside the model:
// <model directory>/<model file stem>.xml, a `materials` root holding one `material` element per
// material. Reading fills a name -> ExtendedMaterial map; writing produces the file from the
// values the renderer currently uses.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Math.h"

namespace Vesma {

/// How the renderer shades a material. 0 is never drawn; 11 is drawn in the transparent pass.
enum class ShadingModel : uint32_t {
    None = 0,
    Default = 1,
    Subsurface = 2,
    Skin = 3,
    ClearCoat = 4,
    Foliage = 6,
    Cloth = 8,
    ThinTranslucent = 11,
};

/// The name a shading-model value has in the file; values without a name give "Default".
std::string_view ShadingModelName(uint32_t value);
/// The value of a shading-model name (exact, case-sensitive), or nothing for an unknown name.
std::optional<uint32_t> ShadingModelFromName(std::string_view name);

/// How a material is shaded: physically based (the default), or in the classic look its PMX data
/// was authored for (material colours, sphere map, toon ramp, outline).
enum class MaterialStyle : uint32_t {
    PhysicallyBased = 0,
    Classic = 1,
};

/// The name a style has in the file and on the command line: "PhysicallyBased" or "Classic".
std::string_view MaterialStyleName(MaterialStyle style);
/// The style of a name (exact, case-sensitive), or nothing for an unknown name.
std::optional<MaterialStyle> MaterialStyleFromName(std::string_view name);

/// One material's extended values. Colours are 0-1 per channel.
struct ExtendedMaterial {
    Math::vec3 subsurfaceColor{1, 1, 1};
    float subsurface = 1.0f;
    Math::vec3 baseColorTint{1, 1, 1};
    float metallic = 0.0f;
    Math::vec3 specularTint{1, 1, 1};
    float roughness = 1.0f;
    float emission = 0.0f;
    float curvature = 1.0f;
    float thickness = 0.0f;
    float occlusion = 1.0f;
    float anisotropy = 0.0f;
    float cloth = 1.0f;
    Math::vec3 clothFuzzColor{1, 1, 1};
    float clearCoat = 1.0f;
    float clearCoatRoughness = 0.0f;
    uint32_t shadingModel = static_cast<uint32_t>(ShadingModel::Default);
    /// The material's own style; unset: the render settings' style applies (every material of a
    /// model without a file, and those whose element names none).
    std::optional<MaterialStyle> materialStyle;
};

/// Extended values by material name (exact comparison).
class ExtendedMaterialMap {
public:
    /// The entry for `name`, inserted with the defaults when the name is new.
    ExtendedMaterial& Lookup(const std::u16string& name);
    /// The entry for `name`, or null.
    const ExtendedMaterial* Find(const std::u16string& name) const;
    std::size_t Size() const { return m_entries.size(); }
    const std::map<std::u16string, ExtendedMaterial>& Entries() const { return m_entries; }
    void Clear() { m_entries.clear(); }

private:
    std::map<std::u16string, ExtendedMaterial> m_entries;
};

/// A material name with its values, in the order the file lists them.
struct NamedExtendedMaterial {
    std::u16string name;
    ExtendedMaterial values;
};

/// The file beside the model at `modelPath` (same directory, same stem, ".xml"); empty for the
/// built-in sample model "<Sample>", which has none.
std::filesystem::path ExtendedMaterialPath(const std::u16string& modelPath);

/// Reads the extended-material file of the model at `modelPath` into `map`. A missing file (or
/// the sample model) reads nothing. Every unreadable number logs "LoadExtendedMaterial Failure!"
/// and leaves its field as it was; a malformed document keeps what was read before the fault.
void ReadExtendedMaterials(const std::u16string& modelPath, ExtendedMaterialMap& map);

/// The same from the bytes of a document.
void ParseExtendedMaterials(std::span<const uint8_t> document, ExtendedMaterialMap& map);

/// The document for `materials`, in their order (UTF-8, indented, no XML declaration).
std::string FormatExtendedMaterials(std::span<const NamedExtendedMaterial> materials);

/// Writes the file of the model at `modelPath`. The document goes to a temporary file beside the
/// old one and replaces it only when complete. Returns false, and logs why, when the file could
/// not be written; the sample model writes nothing and returns true.
bool WriteExtendedMaterials(const std::u16string& modelPath, std::span<const NamedExtendedMaterial> materials);

}  // namespace Vesma
