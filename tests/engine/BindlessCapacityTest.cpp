#include <gtest/gtest.h>

#include <stdexcept>

#include "Engine/Platform/DescriptorHeap.h"
#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "Engine/Platform/Resource.h"
#include "core/HrException.h"

namespace TavrinTest {
namespace {

using namespace Engine::Platform;

// A device of its own with a small bindless set: shader-visible heaps up to that size work end
// to end (the pool holds exactly one set of the layout), larger ones and samplers past the
// sampler array are refused.
TEST(BindlessCapacity, ShaderVisibleHeapsFollowTheDevicesBindlessSizes) {
    DeviceOptions options;
    options.enableValidation = true;
    options.bindlessViews = 64;
    options.bindlessSamplers = 8;
    std::shared_ptr<Device> device;
    try {
        device = Device::Create(options);
    } catch (const std::runtime_error& e) {
        GTEST_SKIP() << e.what();
    }
    auto heap = device->CreateDescriptorHeap(DescriptorHeapType::CbvSrvUav, 64, true);
    auto texture = device->CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 4, 4),
                                                   ResourceState::PixelShaderResource);
    device->CreateShaderResourceView(texture.get(), nullptr, {heap.get(), 63});
    device->CreateSampler(SamplerDesc{}, {heap.get(), 7});
    EXPECT_THROW(device->CreateSampler(SamplerDesc{}, {heap.get(), 8}), HrException);
    EXPECT_THROW(device->CreateShaderResourceView(texture.get(), nullptr, {heap.get(), 64}), HrException);
    EXPECT_THROW(device->CreateDescriptorHeap(DescriptorHeapType::CbvSrvUav, 65, true), HrException);
    // CPU-only heaps hold records, not a set: any capacity.
    EXPECT_NO_THROW(device->CreateDescriptorHeap(DescriptorHeapType::CbvSrvUav, 1000, false));
    heap.reset();
    texture.reset();
    EXPECT_EQ(device->ValidationMessageCount(), 0u) << device->LastValidationMessage();

    options.bindlessSamplers = 0;
    EXPECT_THROW(Device::Create(options), std::invalid_argument);
}

}  // namespace
}  // namespace TavrinTest
