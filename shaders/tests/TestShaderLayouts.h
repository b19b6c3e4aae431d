#pragma once
// Root signatures of the shaders used only by the GPU tests (registered in ShaderRegistry.cpp).
#include "Engine/Platform/Pipeline.h"

namespace TavrinTest::ShaderLayouts {

/// tests/BindingModel.comp: texture table, output table, parameter buffer address, static sampler s3.
inline Engine::Platform::RootSignatureDesc BindingModel() {
    using Engine::Platform::RootParameter;
    return {{RootParameter::DescriptorTable(), RootParameter::DescriptorTable(), RootParameter::BufferAddress()},
            {Engine::Platform::StaticSampler{3, {}}}};
}

/// tests/TraceTriangle.*: scene index, output index.
inline Engine::Platform::RootSignatureDesc TraceTriangle() { return {{Engine::Platform::RootParameter::Constants(2)}, {}}; }

}  // namespace TavrinTest::ShaderLayouts
