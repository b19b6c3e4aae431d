#pragma once
// ".cube" colour-grading tables (3D tables only): the text parser and its status codes.
#include "Engine/TextureLoader/DecodedTexture.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace Engine {

enum class CubeLutStatus : int {
    Ok = 0,
    ReadError = 10,
    PrematureEndOfFile = 12,
    UnknownOrRepeatedKeyword = 20,
    TitleMissingQuote = 21,
    DomainBoundsReversed = 22,
    LutSizeOutOfRange = 23,
    CouldNotParseTableData = 24,
};

struct CubeLut {
    int size = 0;  // N: the table has N³ entries
    std::array<float, 3> domainMin{0.0f, 0.0f, 0.0f};
    std::array<float, 3> domainMax{1.0f, 1.0f, 1.0f};
    std::string title;
    /// N³ RGB entries in file order, red index varying fastest, then green, then blue:
    /// entry k is texel (k mod N, (k / N) mod N, k / N²) of the 3D texture.
    std::vector<float> table;
};

/// Parses `text` (up to its end or its first NUL byte). On any status other than Ok the table
/// is left empty.
CubeLutStatus ParseCubeLut(std::string_view text, CubeLut& out);

/// Parses `text` into an N × N × N R32G32B32_FLOAT 3D texture description with one mip whose
/// subresource is the table (row pitch N × 12 bytes, slice pitch N² × 12 bytes).
CubeLutStatus DecodeCubeLut(std::string_view text, DecodedTexture& out);

}  // namespace Engine
