#include "model/ExtendedMaterial.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

#include "assets/SampleModel.h"
#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"

namespace Vesma {
namespace {

struct ShadingModelEntry {
    ShadingModel value;
    std::string_view name;
};

constexpr ShadingModelEntry kShadingModels[] = {
    {ShadingModel::None, "None"},         {ShadingModel::Default, "Default"},
    {ShadingModel::Subsurface, "Subsurface"}, {ShadingModel::Skin, "Skin"},
    {ShadingModel::ClearCoat, "ClearCoat"}, {ShadingModel::Foliage, "Foliage"},
    {ShadingModel::Cloth, "Cloth"},       {ShadingModel::ThinTranslucent, "ThinTranslucent"},
};

struct MaterialStyleEntry {
    MaterialStyle value;
    std::string_view name;
};

constexpr MaterialStyleEntry kMaterialStyles[] = {
    {MaterialStyle::PhysicallyBased, "PhysicallyBased"},
    {MaterialStyle::Classic, "Classic"},
};

constexpr std::string_view kMaterialStyleAttribute = "materialStyle";

constexpr std::string_view kReadFailure = "LoadExtendedMaterial Failure!";

std::string_view TrimSpace(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Numbers are read and written without the process locale: a desktop session with a decimal
// comma must still read the files it writes, and other machines' files.
std::optional<float> ParseFloat(std::string_view text) {
    text = TrimSpace(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// "%d %d %d": three whole numbers separated by blanks; anything after the third is ignored.
std::optional<Math::vec3> ParseColor(std::string_view text) {
    Math::vec3 color;
    for (int i = 0; i < 3; ++i) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
        if (!text.empty() && text.front() == '+') text.remove_prefix(1);
        int value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc()) return std::nullopt;
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        color[i] = static_cast<float>(std::clamp(value, 0, 255)) / 255.0f;
    }
    return color;
}

std::string FormatFloat(float value) {
    char buffer[64];
    // Fixed notation with six decimals, as printf's "%f".
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return "0.000000";
    return std::string(buffer, result.ptr);
}

// A channel as a byte: value × 255, truncated. The small bias keeps a colour that came from a
// byte (k / 255 rounded to a float, which may land just below k) at k, so saving and loading
// again never darkens a colour one step at a time.
int ColorByte(float channel) {
    if (!std::isfinite(channel)) return 0;
    const double scaled = static_cast<double>(channel) * 255.0 + 1e-3;
    if (scaled <= 0.0) return 0;
    if (scaled >= 255.0) return std::min(static_cast<int>(std::min(scaled, 1e9)), std::numeric_limits<int>::max());
    return static_cast<int>(scaled);
}

std::string FormatColor(const Math::vec3& color) {
    return std::to_string(ColorByte(color.x)) + " " + std::to_string(ColorByte(color.y)) + " " +
           std::to_string(ColorByte(color.z));
}

enum class FieldKind { Unit, NonNegative, Color, Shading };

struct AttributeField {
    std::string_view name;
    FieldKind kind;
    float ExtendedMaterial::*scalar = nullptr;
    Math::vec3 ExtendedMaterial::*color = nullptr;
};

// The attributes in the order the file lists them.
const AttributeField kFields[] = {
    {"shadingModel", FieldKind::Shading},
    {"metallic", FieldKind::Unit, &ExtendedMaterial::metallic},
    {"roughness", FieldKind::Unit, &ExtendedMaterial::roughness},
    {"emission", FieldKind::NonNegative, &ExtendedMaterial::emission},
    {"anisotropy", FieldKind::Unit, &ExtendedMaterial::anisotropy},
    {"occlusion", FieldKind::Unit, &ExtendedMaterial::occlusion},
    {"clearCoat", FieldKind::Unit, &ExtendedMaterial::clearCoat},
    {"clearCoatRoughness", FieldKind::Unit, &ExtendedMaterial::clearCoatRoughness},
    {"cloth", FieldKind::Unit, &ExtendedMaterial::cloth},
    {"subsurface", FieldKind::NonNegative, &ExtendedMaterial::subsurface},
    {"curvature", FieldKind::Unit, &ExtendedMaterial::curvature},
    {"thickness", FieldKind::Unit, &ExtendedMaterial::thickness},
    {"baseColorTint", FieldKind::Color, nullptr, &ExtendedMaterial::baseColorTint},
    {"specularTint", FieldKind::Color, nullptr, &ExtendedMaterial::specularTint},
    {"clothFuzzColor", FieldKind::Color, nullptr, &ExtendedMaterial::clothFuzzColor},
    {"subsurfaceColor", FieldKind::Color, nullptr, &ExtendedMaterial::subsurfaceColor},
};

void ApplyAttribute(ExtendedMaterial& material, std::string_view name, std::string_view value) {
    if (name == kMaterialStyleAttribute) {
        // An unknown name leaves the style as it was, as an unknown shading model does.
        if (const auto style = MaterialStyleFromName(value)) material.materialStyle = *style;
        return;
    }
    const auto field = std::find_if(std::begin(kFields), std::end(kFields),
                                    [&](const AttributeField& f) { return f.name == name; });
    if (field == std::end(kFields)) return;
    switch (field->kind) {
    case FieldKind::Shading:
        if (const auto model = ShadingModelFromName(value)) material.shadingModel = *model;
        return;
    case FieldKind::Unit:
    case FieldKind::NonNegative: {
        const auto number = ParseFloat(value);
        if (!number) {
            MessageLog::Instance().AppendUtf8(kReadFailure);
            return;
        }
        material.*(field->scalar) = field->kind == FieldKind::Unit ? std::clamp(*number, 0.0f, 1.0f) : std::max(*number, 0.0f);
        return;
    }
    case FieldKind::Color: {
        const auto color = ParseColor(value);
        if (!color) {
            MessageLog::Instance().AppendUtf8(kReadFailure);
            return;
        }
        material.*(field->color) = *color;
        return;
    }
    }
}

// Whether the start tag of `element` was read to its end: when the parser stopped at `errorOffset`
// inside a start tag, that element is as good as unread.
bool StartTagComplete(const pugi::xml_node& element, std::string_view document, std::ptrdiff_t errorOffset) {
    const std::ptrdiff_t start = element.offset_debug();
    if (start < 0 || errorOffset < 0) return true;
    if (start >= errorOffset) return false;
    const std::size_t close = document.find('>', static_cast<std::size_t>(start));
    return close != std::string_view::npos && static_cast<std::ptrdiff_t>(close) < errorOffset;
}

}  // namespace

std::string_view ShadingModelName(uint32_t value) {
    for (const auto& entry : kShadingModels)
        if (static_cast<uint32_t>(entry.value) == value) return entry.name;
    return "Default";
}

std::optional<uint32_t> ShadingModelFromName(std::string_view name) {
    for (const auto& entry : kShadingModels)
        if (entry.name == name) return static_cast<uint32_t>(entry.value);
    return std::nullopt;
}

std::string_view MaterialStyleName(MaterialStyle style) {
    for (const auto& entry : kMaterialStyles)
        if (entry.value == style) return entry.name;
    return "PhysicallyBased";
}

std::optional<MaterialStyle> MaterialStyleFromName(std::string_view name) {
    for (const auto& entry : kMaterialStyles)
        if (entry.name == name) return entry.value;
    return std::nullopt;
}

ExtendedMaterial& ExtendedMaterialMap::Lookup(const std::u16string& name) { return m_entries[name]; }

const ExtendedMaterial* ExtendedMaterialMap::Find(const std::u16string& name) const {
    const auto it = m_entries.find(name);
    return it == m_entries.end() ? nullptr : &it->second;
}

std::filesystem::path ExtendedMaterialPath(const std::u16string& modelPath) {
    if (modelPath.empty() || modelPath == kSampleModelPath) return {};
    std::filesystem::path path(Utf16ToUtf8(modelPath));
    if (!path.has_filename()) return {};
    path.replace_extension(".xml");
    return path;
}

void ParseExtendedMaterials(std::span<const uint8_t> document, ExtendedMaterialMap& map) {
    pugi::xml_document doc;
    // Document type declarations are read as nodes (so the walk below can stop at one) but never
    // expanded: no entity in the file reaches the values.
    const pugi::xml_parse_result result =
        doc.load_buffer(document.data(), document.size(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_auto);
    const std::string_view text(reinterpret_cast<const char*>(document.data()), document.size());
    const std::ptrdiff_t errorOffset = result ? -1 : result.offset;

    // Document order, depth first: every `material` element wherever it sits.
    for (pugi::xml_node node = doc.first_child(); node;) {
        if (node.type() == pugi::node_doctype) return;
        if (node.type() == pugi::node_element && std::string_view(node.name()) == "material" &&
            StartTagComplete(node, text, errorOffset)) {
            ExtendedMaterial* current = nullptr;
            for (const pugi::xml_attribute& attribute : node.attributes()) {
                const std::string_view name = attribute.name();
                if (name == "name") {
                    current = &map.Lookup(Utf8ToUtf16(attribute.value()));
                } else if (current) {
                    ApplyAttribute(*current, name, attribute.value());
                }
            }
        }
        if (node.first_child()) {
            node = node.first_child();
        } else {
            while (node && !node.next_sibling()) node = node.parent();
            if (node) node = node.next_sibling();
        }
    }
}

void ReadExtendedMaterials(const std::u16string& modelPath, ExtendedMaterialMap& map) {
    const std::filesystem::path path = ExtendedMaterialPath(modelPath);
    if (path.empty()) return;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return;
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    if (bytes.empty()) return;
    ParseExtendedMaterials(bytes, map);
}

std::string FormatExtendedMaterials(std::span<const NamedExtendedMaterial> materials) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("materials");
    for (const NamedExtendedMaterial& material : materials) {
        pugi::xml_node element = root.append_child("material");
        element.append_attribute("name").set_value(Utf16ToUtf8(material.name).c_str());
        const ExtendedMaterial& values = material.values;
        for (const AttributeField& field : kFields) {
            std::string text;
            switch (field.kind) {
            case FieldKind::Shading: text = ShadingModelName(values.shadingModel); break;
            case FieldKind::Unit:
            case FieldKind::NonNegative: text = FormatFloat(values.*(field.scalar)); break;
            case FieldKind::Color: text = FormatColor(values.*(field.color)); break;
            }
            element.append_attribute(std::string(field.name).c_str()).set_value(text.c_str());
        }
        // Last, and only where the material has a style of its own: the others keep following
        // the render settings when the file is read again.
        if (values.materialStyle)
            element.append_attribute(std::string(kMaterialStyleAttribute).c_str())
                .set_value(std::string(MaterialStyleName(*values.materialStyle)).c_str());
    }
    unsigned flags = pugi::format_indent | pugi::format_no_declaration;
    // The root always closes with a full end tag, even with no material inside.
    if (materials.empty()) flags |= pugi::format_no_empty_element_tags;
    std::ostringstream out;
    doc.save(out, "  ", flags, pugi::encoding_utf8);
    return out.str();
}

bool WriteExtendedMaterials(const std::u16string& modelPath, std::span<const NamedExtendedMaterial> materials) {
    const std::filesystem::path path = ExtendedMaterialPath(modelPath);
    if (path.empty()) return true;
    const std::string document = FormatExtendedMaterials(materials);
    const auto* bytes = reinterpret_cast<const uint8_t*>(document.data());
    if (!WriteWholeFileAtomic(path, std::span<const uint8_t>(bytes, document.size()))) {
        MessageLog::Instance().AppendUtf8("Failed to write extended materials : " + path.string());
        return false;
    }
    return true;
}

}  // namespace Vesma
