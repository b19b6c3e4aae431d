#pragma once
// Which decoder a texture path goes to, chosen by its extension.
#include <string_view>

namespace Engine {

enum class TextureFileType : int {
    Dds = 0,
    Tga = 1,
    Cube = 2,
    Hdr = 3,
    Other = 4,  // the general image decoders
};

/// The extension is the text after the last "." of the path, lowered letter by letter (ASCII);
/// a path without "." has an empty extension and is Other.
TextureFileType GetTextureFileType(std::string_view path);

}  // namespace Engine
