#pragma once
// IEEE 754 binary16 conversion, rounding to nearest even.
#include <cstdint>

namespace Engine {

uint16_t FloatToHalf(float value);
float HalfToFloat(uint16_t half);

}  // namespace Engine
