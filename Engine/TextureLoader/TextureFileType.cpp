#include "Engine/TextureLoader/TextureFileType.h"

#include <string>

namespace Engine {

TextureFileType GetTextureFileType(std::string_view path) {
    const size_t dot = path.rfind('.');
    std::string extension;
    if (dot != std::string_view::npos) {
        for (char c : path.substr(dot + 1)) extension.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
    }
    if (extension == "dds") return TextureFileType::Dds;
    if (extension == "tga") return TextureFileType::Tga;
    if (extension == "cube") return TextureFileType::Cube;
    if (extension == "hdr") return TextureFileType::Hdr;
    return TextureFileType::Other;
}

}  // namespace Engine
