#pragma once
// What a texture's alpha channel holds, found from the texels the loader decodes anyway: nothing
// (all opaque), a cut-out (only fully transparent and fully opaque texels, drawn with an alpha
// clip), or soft values (glass, hair tips, eyelashes, overlays), which need blending.
#include <cstdint>
#include <span>

#include "Engine/TextureLoader/DecodedTexture.h"

namespace Engine {

enum class AlphaContent : uint8_t { Opaque, CutOut, Soft };

/// Alpha values up to this far from 0 or 255 still count as a cut-out (compression noise).
inline constexpr uint8_t kCutOutTolerance = 8;

/// Counts alpha values (8-bit). Soft when more than one texel in a thousand (at least one) lies
/// between the cut-out ends.
class AlphaTally {
public:
    void Add(uint8_t alpha) {
        ++m_texels;
        if (alpha <= kCutOutTolerance) m_transparent = true;
        else if (alpha < 255 - kCutOutTolerance) ++m_soft;
    }
    AlphaContent Result() const;

private:
    uint64_t m_texels = 0;
    uint64_t m_soft = 0;
    bool m_transparent = false;
};

/// Classifies 8-bit RGBA texels.
AlphaContent ClassifyRgba8Alpha(std::span<const uint8_t> rgba);

/// False when an image file's header says it stores no alpha at all (a PNG without an alpha
/// channel or transparency chunk, a JPEG), so its texels need no look.
bool MayHaveAlpha(std::span<const uint8_t> file);

/// Classifies a decoded texture by the top mip of every slice: uncompressed formats with alpha
/// by their texels, BC1 by its one-bit alpha, BC2, BC3 and BC7 by their alpha blocks. Formats
/// without alpha are opaque.
AlphaContent ClassifyDecodedAlpha(const DecodedTexture& decoded);

}  // namespace Engine
