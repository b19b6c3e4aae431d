#pragma once
// What a diffuse texture's alpha channel holds, found once when a model loads: nothing (all
// opaque), a cut-out (only fully transparent and fully opaque texels, drawn with an alpha clip),
// or soft values (glass, hair tips, eyelashes, overlays), which need blending.
#include <cstdint>
#include <filesystem>
#include <span>

namespace ProjectTavrin {

enum class TextureAlpha { Opaque, CutOut, Soft };

/// Alpha values up to this far from 0 or 255 still count as a cut-out (compression noise).
inline constexpr uint8_t kCutOutTolerance = 8;

/// Classifies 8-bit RGBA texels. Soft when more than one texel in a thousand (at least one) has
/// an alpha value between the cut-out ends.
TextureAlpha ClassifyAlpha(std::span<const uint8_t> rgba);

/// False when the file's header says it stores no alpha at all (a PNG without an alpha channel or
/// transparency chunk, a JPEG), so that it need not be decoded to be classified.
bool MayHaveAlpha(std::span<const uint8_t> file);

/// Decodes the image file at `path` and classifies it. Files that cannot be read or decoded
/// here (missing, DDS) count as opaque.
TextureAlpha ClassifyTextureFile(const std::filesystem::path& path);

}  // namespace ProjectTavrin
