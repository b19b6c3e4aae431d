#pragma once
// The full path of a texture a model names relative to its own file.
#include <filesystem>
#include <string_view>

namespace Engine {

/// Joins the model's directory and a texture name from the model file: a leading "./" of the
/// name is dropped, trailing "/" or "\" of each part are removed and an empty part is skipped,
/// the parts are joined with one "/", every "\" becomes "/" (model files written on Windows use
/// backslashes), and trailing spaces are removed. No other variant of the name is tried.
std::filesystem::path MakeTexturePath(const std::filesystem::path& modelDirectory, std::u16string_view textureName);

}  // namespace Engine
