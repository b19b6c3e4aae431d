// 3D textures with mips: the volume wrapper's chain (sizes halving per side, views per mip) and
// the generator that fills it, checked mip by mip against the 2 x 2 x 2 mean on the CPU.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "Engine/GpuResource/VolumeBuffer.h"
#include "Engine/GpuResource/VolumeMipGenerator.h"
#include "Engine/TextureLoader/HalfFloat.h"
#include "GpuTest.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using VolumeMipsTest = GpuTest;

struct Volume {
    uint32_t w, h, d;
    std::vector<float> texels;  // rgba per texel, x fastest, then y, then z
    float At(uint32_t x, uint32_t y, uint32_t z, uint32_t c) const { return texels[((size_t(z) * h + y) * w + x) * 4 + c]; }
};

Volume Downsample(const Volume& src) {
    Volume dst{std::max(1u, src.w / 2), std::max(1u, src.h / 2), std::max(1u, src.d / 2), {}};
    dst.texels.resize(size_t(dst.w) * dst.h * dst.d * 4);
    for (uint32_t z = 0; z < dst.d; ++z)
        for (uint32_t y = 0; y < dst.h; ++y)
            for (uint32_t x = 0; x < dst.w; ++x)
                for (uint32_t c = 0; c < 4; ++c) {
                    float sum = 0;
                    for (uint32_t i = 0; i < 8; ++i)
                        sum += src.At(std::min(x * 2 + (i & 1), src.w - 1), std::min(y * 2 + ((i >> 1) & 1), src.h - 1),
                                      std::min(z * 2 + (i >> 2), src.d - 1), c);
                    dst.texels[((size_t(z) * dst.h + y) * dst.w + x) * 4 + c] = sum / 8;
                }
    return dst;
}

// An 8 x 4 x 6 volume has four mips (8x4x6, 4x2x3, 2x1x1, 1x1x1); after the generator each
// holds the mean of the one above, an odd side dropping its last texel as the halving does.
TEST_F(VolumeMipsTest, GeneratedChainHoldsTheMeanOfEachMipAbove) {
    VolumeBuffer volume;
    volume.Create(u"MippedVolume", 8, 4, 6, Format::R16G16B16A16_FLOAT, 0);
    ASSERT_EQ(volume.MipLevels(), 4u);
    EXPECT_EQ(volume.GetResource()->Desc().mipLevels, 4u);
    for (uint32_t mip = 1; mip < 4; ++mip) EXPECT_FALSE(volume.MipUav(mip).IsNull()) << mip;

    Volume level{8, 4, 6, {}};
    std::mt19937 rng(7);
    level.texels.resize(8 * 4 * 6 * 4);
    for (float& v : level.texels) v = float(rng() % 64) / 16.0f;  // exact in half precision

    const SubresourceFootprint fp = Device().GetCopyableFootprint(volume.GetResource()->Desc(), 0);
    auto upload = Device().CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(fp.totalBytes), ResourceState::GenericRead);
    auto* bytes = static_cast<uint8_t*>(upload->Map());
    for (uint32_t z = 0; z < 6; ++z)
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 8; ++x)
                for (uint32_t c = 0; c < 4; ++c) {
                    const uint16_t half = FloatToHalf(level.At(x, y, z, c));
                    std::memcpy(bytes + (size_t(z) * fp.numRows + y) * fp.rowPitch + (x * 4 + c) * 2, &half, 2);
                }

    VolumeMipGenerator generator(Device());
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    list.SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
    volume.TransitionTo(list, ResourceState::CopyDest);
    list.CopyBufferToTexture(*volume.GetResource(), 0, *upload, fp);
    generator.Record(list, volume);
    EXPECT_EQ(volume.GetState(), ResourceState::UnorderedAccess);
    volume.TransitionTo(list, ResourceState::CopySource);
    SubmitAndWait();

    for (uint32_t mip = 1; mip < 4; ++mip) {
        level = Downsample(level);
        const std::vector<uint8_t> gpu = ReadSubresource(*volume.GetResource(), mip);
        ASSERT_EQ(gpu.size(), level.texels.size() * 2) << "mip " << mip << " is " << level.w << "x" << level.h << "x" << level.d;
        for (size_t i = 0; i < level.texels.size(); ++i) {
            uint16_t half = 0;
            std::memcpy(&half, gpu.data() + i * 2, 2);
            ASSERT_NEAR(HalfToFloat(half), level.texels[i], 2e-3f) << "mip " << mip << " value " << i;
        }
    }
}

TEST_F(VolumeMipsTest, ChainLongerThanTheSidesAllowOrOfAnotherFormatIsRefused) {
    VolumeBuffer volume;
    EXPECT_THROW(volume.Create(u"TooManyMips", 4, 4, 2, Format::R16G16B16A16_FLOAT, 4), std::invalid_argument);
    volume.Create(u"Counts", 4, 4, 4, Format::R32_UINT, 3);
    VolumeMipGenerator generator(Device());
    Core().ResetCommandList();
    EXPECT_THROW(generator.Record(*Core().GetCommandList(), volume), std::invalid_argument);
}

}  // namespace
}  // namespace TavrinTest
