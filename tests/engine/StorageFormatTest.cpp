#include <gtest/gtest.h>

#include <cstring>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "GpuTest.h"
#include "TestShaders.h"
#include "shaders/tests/TestShaderLayouts.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using StorageFormatTest = GpuTest;

// A shader that declares its storage image r11f_g11f_b10f writes packed floats: 0.5, 0.25 and 2
// are exact in the 11- and 10-bit formats (exponent bias 15, 6 or 5 mantissa bits).
TEST_F(StorageFormatTest, PackedFloatStorageImageIsWrittenThroughItsDeclaredFormat) {
    ColorBuffer target;
    target.Create(u"PackedFloatTarget", 1, 1, Format::R11G11B10_FLOAT);
    auto root = Device().CreateRootSignature(ShaderLayouts::StoreExtendedFormat());
    ComputePipelineDesc pso;
    pso.rootSignature = root.get();
    pso.cs.code = Shaders::StoreExtendedFormat_comp();
    auto pipeline = Device().CreateComputePipelineState(pso);

    const float value[4] = {0.5f, 0.25f, 2.0f, 0.0f};
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    target.TransitionTo(list, ResourceState::UnorderedAccess);
    list.SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
    list.SetComputeRootSignature(*root);
    list.SetPipelineState(*pipeline);
    list.SetComputeRoot32BitConstants(0, 4, value, 0);
    list.SetComputeRootDescriptorTable(1, target.uavHandle.Gpu());
    list.Dispatch(1, 1, 1);
    target.TransitionTo(list, ResourceState::CopySource);
    SubmitAndWait();

    const std::vector<uint8_t> bytes = ReadSubresource(*target.GetResource(), 0);
    ASSERT_EQ(bytes.size(), 4u);
    uint32_t packed;
    std::memcpy(&packed, bytes.data(), 4);
    EXPECT_EQ(packed & 0x7ffu, 14u << 6) << std::hex << packed;           // red 0.5: exponent 14
    EXPECT_EQ((packed >> 11) & 0x7ffu, 13u << 6) << std::hex << packed;   // green 0.25: exponent 13
    EXPECT_EQ(packed >> 22, 16u << 5) << std::hex << packed;              // blue 2.0: exponent 16
}

}  // namespace
}  // namespace TavrinTest
