#include <gtest/gtest.h>

#include <cstring>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "GpuTest.h"
#include "TextureProbe.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

class SamplerFilterTest : public GpuTest {
protected:
    // A 2 x 2 texture whose left column is 0 and right column 1 (red channel), with its 1 x 1
    // mip generated (0.5).
    void SetUp() override {
        GpuTest::SetUp();
        m_texture = Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 2, 2, 1, 2),
                                                     ResourceState::CopyDest);
        const uint8_t texels[16] = {0, 0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 255, 255, 0, 0, 255};
        ResourceUploadBatch batch(Core().GetDeviceShared());
        batch.Begin();
        batch.Upload(m_texture.get(), SubresourceData{texels, 8, 16});
        batch.Transition(m_texture.get(), ResourceState::CopyDest, ResourceState::NonPixelShaderResource);
        batch.GenerateMips(m_texture.get());
        batch.End(Device()).wait();
        m_textureSlot = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
        Device().CreateShaderResourceView(m_texture.get(), nullptr, m_textureSlot.Cpu());
    }

    // Red channel of the texture sampled at u = 0.4 (between the columns, nearer the left one),
    // v = 0.5, level of detail 0.4, through a static sampler made from `sampler`.
    float Sample(const SamplerDesc& sampler) {
        Core().ResetCommandList();
        TextureProbe probe;
        probe.Record(Device(), *Core().GetCommandList(), m_textureSlot.Gpu(), sampler, 0.4f, 0.5f, 0.4f);
        SubmitAndWait();
        return probe.Result()[0];
    }

    std::shared_ptr<Resource> m_texture;
    DescriptorHandle m_textureSlot;
};

SamplerDesc Make(Filter filter, MipFilter mip) {
    SamplerDesc desc;
    desc.filter = filter;
    desc.mipFilter = mip;
    return desc;
}

// Within mip 0, u = 0.4 is 0.3 of the way from the left texel (0) to the right one (1); mip 1 is
// 0.5; level 0.4 blends the mips 0.6 : 0.4, or takes mip 0 alone when mips are not blended.
TEST_F(SamplerFilterTest, MinMagAndMipFiltersAreChosenIndependently) {
    EXPECT_NEAR(Sample(Make(Filter::Linear, MipFilter::Linear)), 0.3f * 0.6f + 0.5f * 0.4f, 0.02f);
    EXPECT_NEAR(Sample(Make(Filter::Linear, MipFilter::Point)), 0.3f, 0.02f);
    EXPECT_NEAR(Sample(SamplerDesc::LinearMipPoint(AddressMode::Clamp)), 0.3f, 0.02f);
    EXPECT_NEAR(Sample(Make(Filter::Point, MipFilter::Linear)), 0.0f * 0.6f + 0.5f * 0.4f, 0.02f);
    EXPECT_NEAR(Sample(Make(Filter::Point, MipFilter::Point)), 0.0f, 0.02f);
    // Without a mip filter of its own the filter decides both, as before.
    EXPECT_NEAR(Sample(Make(Filter::Linear, MipFilter::FromFilter)), 0.38f, 0.02f);
    EXPECT_NEAR(Sample(Make(Filter::Point, MipFilter::FromFilter)), 0.0f, 0.02f);
}

}  // namespace
}  // namespace TavrinTest
