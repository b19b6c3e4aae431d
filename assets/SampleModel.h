#pragma once
// The built-in sample model chosen with the model path "<Sample>": a PMX 2.0 material-preview
// scene (a floor and four shapes, five materials, no textures), generated at build time by
// tools/generators/gen_sample_model.cpp.
#include <cstdint>
#include <span>
#include <string_view>

/// The model path that selects the sample model.
inline constexpr std::u16string_view kSampleModelPath = u"<Sample>";

/// The sample model's file bytes; they live for the whole program.
std::span<const uint8_t> SampleModelData();
