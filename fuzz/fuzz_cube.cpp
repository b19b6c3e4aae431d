// Feeds arbitrary text to the ".cube" colour-grading table parser. Every input must be answered
// with a status; a parsed table holds exactly N³ finite RGB entries.
#include "Engine/TextureLoader/CubeLut.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Engine::CubeLut lut;
    const Engine::CubeLutStatus status = Engine::ParseCubeLut(text, lut);
    if (status != Engine::CubeLutStatus::Ok) {
        if (!lut.table.empty()) std::abort();
        return 0;
    }
    if (lut.size < 2 || lut.size > 256) std::abort();
    if (lut.table.size() != size_t(lut.size) * lut.size * lut.size * 3) std::abort();
    for (float v : lut.table)
        if (!std::isfinite(v)) std::abort();
    return 0;
}
