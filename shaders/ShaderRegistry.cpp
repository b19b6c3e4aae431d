#include "shaders/ShaderRegistry.h"

#include "shaders/RendererShaderLayouts.h"
#include "shaders/ShaderLayouts.h"
#include "shaders/tests/TestShaderLayouts.h"

namespace Engine {
namespace {

// One line per shader: its file under shaders/ and the function giving its root signature.
// The build refuses a shader that is missing here or that disagrees with its layout.
const ShaderRegistration kShaders[] = {
    {"GenerateMips.comp", &ShaderLayouts::GenerateMips},
    {"FlatColor.vert", &ShaderLayouts::FlatColor},
    {"FlatColor.frag", &ShaderLayouts::FlatColor},
    {"Model.vert", &ShaderLayouts::ModelDraw},
    {"Model.frag", &ShaderLayouts::ModelDraw},
    {"Bloom.comp", &ShaderLayouts::Bloom},
    {"Exposure.comp", &ShaderLayouts::Exposure},
    {"ColorFilter.comp", &ShaderLayouts::ColorFilter},
    {"FinalCopy.comp", &ShaderLayouts::FinalCopy},
    {"OutputResample.comp", &ShaderLayouts::OutputResample},
    {"Taa.comp", &ShaderLayouts::Taa},

    {"tests/BindingModel.comp", &TavrinTest::ShaderLayouts::BindingModel},
    {"tests/SampleLod.comp", &TavrinTest::ShaderLayouts::SampleLod},
    {"tests/StoreExtendedFormat.comp", &TavrinTest::ShaderLayouts::StoreExtendedFormat},
    {"tests/TraceTriangle.rgen", &TavrinTest::ShaderLayouts::TraceTriangle},
    {"tests/TraceTriangle.rmiss", &TavrinTest::ShaderLayouts::TraceTriangle},
    {"tests/TraceTriangle.rchit", &TavrinTest::ShaderLayouts::TraceTriangle},
};

}  // namespace

std::span<const ShaderRegistration> RegisteredShaders() { return kShaders; }

const ShaderRegistration* FindRegisteredShader(std::string_view file) {
    for (const ShaderRegistration& r : kShaders)
        if (r.file == file) return &r;
    return nullptr;
}

}  // namespace Engine
