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

/// tests/SceneRays.*: rays and hits by address, scene and count; point sampler s0.
inline Engine::Platform::RootSignatureDesc SceneRays() {
    using Engine::Platform::RootParameter;
    Engine::Platform::SamplerDesc point;
    point.filter = Engine::Platform::Filter::Point;
    return {{RootParameter::BufferAddress(), RootParameter::BufferAddress(), RootParameter::Constants(2)},
            {Engine::Platform::StaticSampler{0, point}}};
}

/// tests/SampleLod.comp: constants (uv, lod), texture table, output table, static sampler s0
/// (the tests swap in the sampler they examine).
inline Engine::Platform::RootSignatureDesc SampleLod() {
    using Engine::Platform::RootParameter;
    return {{RootParameter::Constants(3), RootParameter::DescriptorTable(), RootParameter::DescriptorTable()},
            {Engine::Platform::StaticSampler{0, {}}}};
}

/// tests/StoreExtendedFormat.comp: the value to store (4 constants), the storage image table.
inline Engine::Platform::RootSignatureDesc StoreExtendedFormat() {
    using Engine::Platform::RootParameter;
    return {{RootParameter::Constants(4), RootParameter::DescriptorTable()}, {}};
}

/// tests/CountFragments.*: the storage image counting fragments.
inline Engine::Platform::RootSignatureDesc CountFragments() {
    return {{Engine::Platform::RootParameter::DescriptorTable()}, {}};
}

/// tests/MirrorTriangle.*: the shift of the geometry stage's copy.
inline Engine::Platform::RootSignatureDesc MirrorTriangle() { return {{Engine::Platform::RootParameter::Constants(1)}, {}}; }

}  // namespace TavrinTest::ShaderLayouts
