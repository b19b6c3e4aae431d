#pragma once
// The root signature of each engine shader. The code that creates a pipeline takes its root
// signature from here, and the build checks each compiled shader against the layout it is
// registered with in ShaderRegistry.cpp, so the two cannot drift apart.
#include "Engine/Platform/Pipeline.h"

namespace Engine::ShaderLayouts {

/// GenerateMips.comp: constants (texel size, source mip, sRGB flag), source view, destination view.
inline Platform::RootSignatureDesc GenerateMips() {
    using Platform::RootParameter;
    return {{RootParameter::Constants(4), RootParameter::DescriptorTable(), RootParameter::DescriptorTable()}, {}};
}

/// GenerateVolumeMips.comp: source and destination mips as storage views (VolumeMipConstants).
inline Platform::RootSignatureDesc GenerateVolumeMips() {
    using Platform::RootParameter;
    return {{RootParameter::DescriptorTable(), RootParameter::DescriptorTable()}, {}};
}

/// FlatColor.vert / FlatColor.frag: the draw's colour.
inline Platform::RootSignatureDesc FlatColor() { return {{Platform::RootParameter::Constants(4)}, {}}; }

}  // namespace Engine::ShaderLayouts
