#pragma once
// A character with the make-up of a real one, written as files for load benchmarks: a PMX of
// about 1.4 MB (vertex grid, bones, morphs, 40 rigid bodies in chains), a motion for it, and 20
// textures it names: nine 1024 x 1024 PNGs (skin, hair, clothes; three with alpha), four BMPs of
// 512 and 256, and seven small PNGs (toon ramps, sphere maps). Several materials share a texture,
// as a real model's do.
#include <filesystem>

namespace TestSupport {

struct TexturedCharacterFiles {
    std::filesystem::path model;   ///< character.pmx
    std::filesystem::path motion;  ///< character.vmd
};

/// Writes the character into `dir` (created when missing). The images are the same on every run.
TexturedCharacterFiles WriteTexturedCharacter(const std::filesystem::path& dir);

}  // namespace TestSupport
