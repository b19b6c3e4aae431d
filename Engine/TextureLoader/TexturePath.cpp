#include "Engine/TextureLoader/TexturePath.h"

#include "core/TextConvert.h"

#include <algorithm>
#include <string>

namespace Engine {
namespace {

void TrimTrailingSeparators(std::string& part) {
    while (!part.empty() && (part.back() == '/' || part.back() == '\\')) part.pop_back();
}

}  // namespace

std::filesystem::path MakeTexturePath(const std::filesystem::path& modelDirectory, std::u16string_view textureName) {
    if (textureName.substr(0, 2) == u"./") textureName.remove_prefix(2);
    std::string directory = modelDirectory.native();
    std::string name = Utf16ToUtf8(textureName);
    TrimTrailingSeparators(directory);
    TrimTrailingSeparators(name);

    std::string joined = directory;
    if (!directory.empty() && !name.empty()) joined += '/';
    joined += name;
    std::replace(joined.begin(), joined.end(), '\\', '/');
    while (!joined.empty() && joined.back() == ' ') joined.pop_back();
    return joined;
}

}  // namespace Engine
