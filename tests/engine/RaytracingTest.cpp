#include <gtest/gtest.h>

#include <cstring>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/ReadbackBuffer.h"
#include "Engine/Platform/ShaderTable.h"
#include "GpuTest.h"
#include "TestShaders.h"
#include "shaders/tests/TestShaderLayouts.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using RaytracingTest = GpuTest;

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// A bottom-level structure of one triangle covering the lower-left half of the view, one
// instance in a top-level structure, and a pipeline of ray generation, miss and closest hit:
// pixels below the diagonal hit (red, instance index in green), the others miss (blue).
TEST_F(RaytracingTest, TracesATriangleThroughBothAccelerationStructures) {
    if (!Core().IsRaytracingSupported()) GTEST_SKIP() << "no ray tracing on this device";
    Engine::Platform::Device& device = Device();

    const float vertices[] = {-1, -1, 0, 1, -1, 0, -1, 1, 0};
    auto vb = device.CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(sizeof(vertices)), ResourceState::GenericRead);
    std::memcpy(vb->Map(), vertices, sizeof(vertices));

    AccelerationStructureInputs bottom;
    bottom.type = AccelerationStructureType::BottomLevel;
    bottom.geometries.push_back({vb->GetGpuVirtualAddress(), 12, 3, Format::R32G32B32_FLOAT, 0, 0, Format::R32_UINT, 0, true});
    const AccelerationStructurePrebuildInfo bottomSizes = device.GetRaytracingAccelerationStructurePrebuildInfo(bottom);
    ASSERT_GT(bottomSizes.resultDataMaxSizeInBytes, 0u);
    auto blasBuffer = device.CreateCommittedResource(
        HeapType::Default, ResourceDesc::Buffer(bottomSizes.resultDataMaxSizeInBytes, ResourceFlags::AccelerationStructureStorage),
        ResourceState::RaytracingAccelerationStructure);
    blasBuffer->SetName("TestBLAS");
    auto blas = device.CreateAccelerationStructure(AccelerationStructureType::BottomLevel, blasBuffer, 0,
                                                   bottomSizes.resultDataMaxSizeInBytes);

    RaytracingInstanceDesc instance{};
    instance.transform[0][0] = instance.transform[1][1] = instance.transform[2][2] = 1.0f;
    instance.instanceID = 7;
    instance.instanceMask = 0xff;
    instance.accelerationStructure = blas->GpuAddress();
    auto instances = device.CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(sizeof(instance)), ResourceState::GenericRead);
    std::memcpy(instances->Map(), &instance, sizeof(instance));
    AccelerationStructureInputs top;
    top.type = AccelerationStructureType::TopLevel;
    top.instanceAddress = instances->GetGpuVirtualAddress();
    top.instanceCount = 1;
    const AccelerationStructurePrebuildInfo topSizes = device.GetRaytracingAccelerationStructurePrebuildInfo(top);
    auto tlasBuffer = device.CreateCommittedResource(
        HeapType::Default, ResourceDesc::Buffer(topSizes.resultDataMaxSizeInBytes, ResourceFlags::AccelerationStructureStorage),
        ResourceState::RaytracingAccelerationStructure);
    auto tlas = device.CreateAccelerationStructure(AccelerationStructureType::TopLevel, tlasBuffer, 0, topSizes.resultDataMaxSizeInBytes);

    const uint64_t scratchBytes = std::max(bottomSizes.scratchDataSizeInBytes, topSizes.scratchDataSizeInBytes) +
                                  device.Limits().minAccelerationStructureScratchOffsetAlignment;
    auto scratch = device.CreateCommittedResource(HeapType::Default, ResourceDesc::Buffer(scratchBytes, ResourceFlags::AllowUnorderedAccess),
                                                  ResourceState::UnorderedAccess);
    const uint64_t scratchAddress =
        AlignUp(scratch->GetGpuVirtualAddress(), device.Limits().minAccelerationStructureScratchOffsetAlignment);

    // Pipeline and shader table: ray generation, miss and hit group records, each at the base alignment.
    auto root = device.CreateRootSignature(TavrinTest::ShaderLayouts::TraceTriangle());
    RaytracingPipelineDesc pipelineDesc;
    pipelineDesc.globalRootSignature = root.get();
    pipelineDesc.shaders = {{"RayGen", RaytracingShaderStage::RayGeneration, {Shaders::TraceTriangle_rgen()}},
                            {"Miss", RaytracingShaderStage::Miss, {Shaders::TraceTriangle_rmiss()}},
                            {"ClosestHit", RaytracingShaderStage::ClosestHit, {Shaders::TraceTriangle_rchit()}}};
    pipelineDesc.hitGroups = {{"HitGroup", "ClosestHit", "", ""}};
    auto pipeline = device.CreateRaytracingPipelineState(pipelineDesc);
    ASSERT_NE(pipeline->GetShaderIdentifier("RayGen"), nullptr);
    ASSERT_NE(pipeline->GetShaderIdentifier("HitGroup"), nullptr);
    EXPECT_EQ(pipeline->GetShaderIdentifier("NoSuchGroup"), nullptr);

    ShaderTable rayGenTable(device, 1, 0, "RayGen");
    ShaderTable missTable(device, 1, 0, "Miss");
    ShaderTable hitTable(device, 1, 0, "HitGroup");
    rayGenTable.Append(pipeline->GetShaderIdentifier("RayGen"), "RayGen");
    missTable.Append(pipeline->GetShaderIdentifier("Miss"), "Miss");
    hitTable.Append(pipeline->GetShaderIdentifier("HitGroup"), "HitGroup");

    ColorBuffer output;
    output.Create(u"TraceOutput", 8, 8, Format::R8G8B8A8_UNORM);
    const DescriptorHandle sceneSlot = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    device.CreateAccelerationStructureView(*tlas, sceneSlot.Cpu());

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    list.BuildRaytracingAccelerationStructure(bottom, *blas, scratchAddress);
    const ResourceBarrier afterBottom = ResourceBarrier::UAV(blasBuffer.get());
    list.ResourceBarrier(std::span(&afterBottom, 1));
    list.BuildRaytracingAccelerationStructure(top, *tlas, scratchAddress);
    const ResourceBarrier afterTop = ResourceBarrier::UAV(tlasBuffer.get());
    list.ResourceBarrier(std::span(&afterTop, 1));
    output.TransitionTo(list, ResourceState::UnorderedAccess);
    list.SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
    list.SetComputeRootSignature(*root);
    list.SetPipelineState(*pipeline);
    const uint32_t constants[2] = {sceneSlot.Gpu(), output.uavHandle.Gpu()};
    list.SetComputeRoot32BitConstants(0, 2, constants, 0);
    DispatchRaysDesc dispatch;
    dispatch.rayGeneration = rayGenTable.Range();
    dispatch.missShaderTable = missTable.Range();
    dispatch.hitGroupTable = hitTable.Range();
    dispatch.width = dispatch.height = 8;
    list.DispatchRays(dispatch);
    SubmitAndWait();

    ReadbackBuffer readback;
    const uint8_t* bytes = readback.ReadBack(output);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) {
            if (x == y) continue;  // the diagonal lies on the triangle's edge
            const uint8_t* p = bytes + y * readback.RowPitch() + x * 4;
            const bool hit = x < y;
            EXPECT_EQ(p[0], hit ? 255 : 0) << x << "," << y;
            EXPECT_EQ(p[1], hit ? 7 : 0) << x << "," << y;
            EXPECT_EQ(p[2], hit ? 0 : 255) << x << "," << y;
        }
}

}  // namespace
}  // namespace TavrinTest
