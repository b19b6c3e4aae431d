#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "Engine/GpuResource/UintBuffer.h"
#include "GpuTest.h"
#include "TestShaders.h"
#include "shaders/tests/TestShaderLayouts.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using BindingModelTest = GpuTest;

// Every kind of root parameter in one dispatch: two descriptor-table indices, a buffer address
// and a static sampler. A red and a green texel sampled halfway with the linear sampler give
// (0.5, 0.5, 0, 1); scaled by (2, 2, 2, 1) from the constant buffer that is (1, 1, 0, 1).
TEST_F(BindingModelTest, TablesBufferAddressAndStaticSamplerReachTheShader) {
    auto texture = Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 2, 1),
                                                    ResourceState::CopyDest);
    const uint8_t texels[8] = {255, 0, 0, 255, 0, 255, 0, 255};
    ResourceUploadBatch batch(Core().GetDeviceShared());
    batch.Begin();
    batch.Upload(texture.get(), SubresourceData{texels, 8, 8});
    batch.Transition(texture.get(), ResourceState::CopyDest, ResourceState::NonPixelShaderResource);
    batch.End(Device()).wait();
    const DescriptorHandle textureSlot = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    Device().CreateShaderResourceView(texture.get(), nullptr, textureSlot.Cpu());

    StructuredBuffer<float> params;
    params.Create(Device(), 4, kFrameCount, u"BindingParams");
    const uint32_t frame = Core().GetBackBufferIndex();
    params[0] = params[1] = params[2] = 2.0f;
    params[3] = 1.0f;
    params.CopyStagingToGpu(frame);

    UintBuffer output;
    output.Create(u"BindingOutput", 4);

    auto root = Device().CreateRootSignature(TavrinTest::ShaderLayouts::BindingModel());
    EXPECT_EQ(root->ParameterOffset(2), 8u);
    EXPECT_EQ(root->PushConstantBytes(), 16u);
    ComputePipelineDesc pso;
    pso.rootSignature = root.get();
    pso.cs.code = Shaders::BindingModel_comp();
    auto pipeline = Device().CreateComputePipelineState(pso);

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    list.SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
    list.SetComputeRootSignature(*root);
    list.SetPipelineState(*pipeline);
    list.SetComputeRootDescriptorTable(0, textureSlot.Gpu());
    list.SetComputeRootDescriptorTable(1, output.uavHandle.Gpu());
    list.SetComputeRootBufferAddress(2, params.GpuVirtualAddress(frame));
    list.Dispatch(1, 1, 1);
    output.TransitionTo(list, ResourceState::CopySource);
    auto readback = Device().CreateCommittedResource(HeapType::Readback, ResourceDesc::Buffer(16), ResourceState::CopyDest);
    list.CopyBufferRegion(*readback, 0, *output.GetResource(), 0, 16);
    SubmitAndWait();

    float values[4];
    std::memcpy(values, readback->Map(), sizeof(values));
    EXPECT_NEAR(values[0], 1.0f, 0.02f);
    EXPECT_NEAR(values[1], 1.0f, 0.02f);
    EXPECT_NEAR(values[2], 0.0f, 0.02f);
    EXPECT_NEAR(values[3], 1.0f, 0.02f);
}

// Push constants past what the device offers (and past the command list's 256 bytes) cannot make
// a pipeline layout: creation refuses them with both sizes in the message, and the largest block
// that fits is accepted.
TEST_F(BindingModelTest, RootSignatureBeyondThePushConstantLimitIsRefused) {
    const uint32_t limit = std::min<uint32_t>(Device().Limits().maxPushConstantsSize, 256);
    ASSERT_GE(limit, 128u);
    const RootSignatureDesc fits{{RootParameter::Constants(limit / 4 - 2), RootParameter::BufferAddress()}, {}};
    EXPECT_EQ(Device().CreateRootSignature(fits)->PushConstantBytes(), limit);
    // One word more: the address moves to the next 8-byte boundary, 8 bytes past the limit.
    const RootSignatureDesc tooLarge{{RootParameter::Constants(limit / 4 - 1), RootParameter::BufferAddress()}, {}};
    try {
        Device().CreateRootSignature(tooLarge);
        ADD_FAILURE() << "a " << limit + 8 << "-byte push-constant block was accepted";
    } catch (const std::length_error& e) {
        EXPECT_NE(std::string(e.what()).find(std::to_string(limit + 8) + " bytes"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("allows " + std::to_string(limit)), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace TavrinTest
