#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "GpuTest.h"
#include "TextureProbe.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

constexpr ResourceState kShaderRead = ResourceState::NonPixelShaderResource | ResourceState::PixelShaderResource;
constexpr ResourceState kReadAndCopy = kShaderRead | ResourceState::CopySource;

class DescriptorLayoutTest : public GpuTest {
protected:
    // A 1 x 1 texture holding (64, 128, 192, 255), left in the shader-resource state.
    std::shared_ptr<Resource> MakeTexture() {
        auto texture = Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 1, 1),
                                                        ResourceState::CopyDest);
        texture->SetName(u"LayoutTexture");
        const uint8_t texel[4] = {64, 128, 192, 255};
        ResourceUploadBatch batch(Core().GetDeviceShared());
        batch.Begin();
        batch.Upload(texture.get(), SubresourceData{texel, 4, 4});
        batch.Transition(texture.get(), ResourceState::CopyDest, kShaderRead);
        batch.End(Device()).wait();
        return texture;
    }

    void Transition(Resource& texture, ResourceState before, ResourceState after) {
        const ResourceBarrier barrier = ResourceBarrier::Transition(&texture, before, after);
        Core().GetCommandList()->ResourceBarrier(std::span(&barrier, 1));
    }
};

// A texture kept in a combined read state (sampled and copied from, the general layout) is read
// correctly through a view written for that state, with no report.
TEST_F(DescriptorLayoutTest, ViewWrittenForACombinedReadStateReadsInThatState) {
    auto texture = MakeTexture();
    const DescriptorHandle slot = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    SrvDesc srv;
    srv.readState = kReadAndCopy;
    Device().CreateShaderResourceView(texture.get(), &srv, slot.Cpu());

    Core().ResetCommandList();
    Transition(*texture, kShaderRead, kReadAndCopy);
    TextureProbe probe;
    probe.Record(Device(), *Core().GetCommandList(), slot.Gpu(), SamplerDesc{}, 0.5f, 0.5f, 0.0f);
    SubmitAndWait();
    const auto texel = probe.Result();
    EXPECT_NEAR(texel[0], 64 / 255.0f, 0.002f);
    EXPECT_NEAR(texel[2], 192 / 255.0f, 0.002f);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// A view written for the plain shader-resource state (the default), then the texture moved into
// a state with another image layout for reading: reported once, naming the texture and the fix.
TEST_F(DescriptorLayoutTest, ReadingInAStateWithAnotherLayoutThanTheViewIsReported) {
    if (!Device().ValidationEnabled()) GTEST_SKIP() << "the check runs with the validation layer";
    auto texture = MakeTexture();
    const DescriptorHandle slot = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    Device().CreateShaderResourceView(texture.get(), nullptr, slot.Cpu());

    Core().ResetCommandList();
    Transition(*texture, kShaderRead, ResourceState::PixelShaderResource);  // same layout: fine
    EXPECT_EQ(NewValidationMessages(), 0u);
    Transition(*texture, ResourceState::PixelShaderResource, kReadAndCopy);
    EXPECT_EQ(NewValidationMessages(), 1u);
    const std::string message = Device().LastValidationMessage();
    EXPECT_NE(message.find("LayoutTexture"), std::string::npos) << message;
    EXPECT_NE(message.find("readState"), std::string::npos) << message;
    // Leaving for a state no shader reads in is not a read and is not reported.
    Transition(*texture, kReadAndCopy, ResourceState::CopyDest);
    Transition(*texture, ResourceState::CopyDest, kShaderRead);
    SubmitAndWait();
    EXPECT_EQ(NewValidationMessages(), 1u);
    AcceptValidationMessages();
}

// Depth read by shaders while also bound read-only for the depth test shares one layout with a
// depth view written for plain shader reads.
TEST_F(DescriptorLayoutTest, DepthViewsAgreeWithTheDepthReadStates) {
    DepthBuffer depth;
    depth.Create(u"LayoutDepth", 4, 4, Format::D32_FLOAT);
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    depth.TransitionTo(list, ResourceState::DepthWrite);
    list.ClearDepthStencilView(depth.dsvHandle.Cpu(), 1.0f, 0);
    depth.TransitionTo(list, ResourceState::DepthRead | ResourceState::PixelShaderResource);
    depth.TransitionTo(list, kShaderRead);
    SubmitAndWait();
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

TEST_F(DescriptorLayoutTest, AViewMustBeReadInAShaderResourceState) {
    auto texture = MakeTexture();
    const DescriptorHandle slot = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    SrvDesc srv;
    srv.readState = ResourceState::CopySource;
    EXPECT_THROW(Device().CreateShaderResourceView(texture.get(), &srv, slot.Cpu()), std::invalid_argument);
}

}  // namespace
}  // namespace TavrinTest
