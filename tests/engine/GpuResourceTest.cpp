#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/ColorBufferArray.h"
#include "Engine/GpuResource/CubeColorBuffer.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/GpuResource/ReadbackBuffer.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "Engine/GpuResource/UintBuffer.h"
#include "Engine/GpuResource/VolumeBuffer.h"
#include "GpuTest.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using GpuResourceTest = GpuTest;

float SrgbToLinear(float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); }
float LinearToSrgb(float c) { return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f; }

// CPU reference of the mip filter: each destination texel is the area-weighted mean of the source
// texels its footprint covers (a plain 2 x 2 mean for even sizes).
std::vector<float> BoxDownsample(const std::vector<float>& src, uint32_t sw, uint32_t sh, uint32_t dw, uint32_t dh) {
    std::vector<float> dst(size_t(dw) * dh * 4);
    const double rx = double(sw) / dw, ry = double(sh) / dh;
    for (uint32_t y = 0; y < dh; ++y)
        for (uint32_t x = 0; x < dw; ++x) {
            double sum[4] = {}, weight = 0;
            const double x0 = x * rx, x1 = x0 + rx, y0 = y * ry, y1 = y0 + ry;
            for (int sy = int(std::floor(y0)); sy < int(std::ceil(y1)); ++sy)
                for (int sx = int(std::floor(x0)); sx < int(std::ceil(x1)); ++sx) {
                    const double w = (std::min(x1, sx + 1.0) - std::max(x0, double(sx))) * (std::min(y1, sy + 1.0) - std::max(y0, double(sy)));
                    for (int c = 0; c < 4; ++c) sum[c] += w * src[(size_t(sy) * sw + sx) * 4 + c];
                    weight += w;
                }
            for (int c = 0; c < 4; ++c) dst[(size_t(y) * dw + x) * 4 + c] = float(sum[c] / weight);
        }
    return dst;
}

struct MipCase {
    const char* name;
    uint32_t width, height, mips;
    Format format;
    ResourceFlags flags;  // without unordered access the chain is built in a staging copy
    uint16_t slices = 1;  // an array (6: the faces of a cube), each slice filtered on its own
};

class GenerateMipsTest : public GpuTest, public ::testing::WithParamInterface<MipCase> {};

TEST_P(GenerateMipsTest, EveryLevelMatchesTheCpuBoxFilter) {
    const MipCase& c = GetParam();
    const bool srgb = GetFormatInfo(c.format).srgb;
    auto texture = Device().CreateCommittedResource(
        HeapType::Default, ResourceDesc::Tex2D(c.format, c.width, c.height, c.slices, uint16_t(c.mips), 1, c.flags),
        ResourceState::CopyDest);
    // Every slice gets its own random texels, so a slice filtered from another's data shows.
    std::mt19937 rng(c.width * 31 + c.height + c.slices);
    std::vector<std::vector<uint8_t>> pixels(c.slices, std::vector<uint8_t>(size_t(c.width) * c.height * 4));
    for (auto& slice : pixels)
        for (uint8_t& p : slice) p = uint8_t(rng());

    ResourceUploadBatch batch(Core().GetDeviceShared());
    batch.Begin();
    for (uint32_t slice = 0; slice < c.slices; ++slice)
        batch.Upload(texture.get(), CalcSubresource(0, slice, c.mips),
                     SubresourceData{pixels[slice].data(), int64_t(c.width) * 4, int64_t(c.width) * c.height * 4});
    batch.Transition(texture.get(), ResourceState::CopyDest, ResourceState::NonPixelShaderResource);
    batch.GenerateMips(texture.get());
    const ResourceState after = HasFlag(c.flags, ResourceFlags::AllowUnorderedAccess) ? ResourceState::NonPixelShaderResource
                                                                                     : ResourceState::PixelShaderResource;
    batch.Transition(texture.get(), after, ResourceState::CopySource);
    batch.End(Device()).wait();
    EXPECT_EQ(batch.GeneratedMipChains(), 1u);
    EXPECT_EQ(NewValidationMessages(), 0u);

    for (uint32_t slice = 0; slice < c.slices; ++slice) {
        // Reference chain in linear space (sRGB data is decoded, filtered and encoded again).
        std::vector<float> level(pixels[slice].size());
        for (size_t i = 0; i < level.size(); ++i) {
            const float v = pixels[slice][i] / 255.0f;
            level[i] = srgb && i % 4 != 3 ? SrgbToLinear(v) : v;
        }
        uint32_t w = c.width, h = c.height;
        EXPECT_EQ(ReadSubresource(*texture, CalcSubresource(0, slice, c.mips)), pixels[slice]);
        for (uint32_t mip = 1; mip < c.mips; ++mip) {
            const uint32_t nw = std::max(1u, w / 2), nh = std::max(1u, h / 2);
            level = BoxDownsample(level, w, h, nw, nh);
            w = nw;
            h = nh;
            const std::vector<uint8_t> gpu = ReadSubresource(*texture, CalcSubresource(mip, slice, c.mips));
            ASSERT_EQ(gpu.size(), size_t(w) * h * 4) << "mip " << mip;
            for (size_t i = 0; i < gpu.size(); ++i) {
                const float linear = level[i];
                const float expected = (srgb && i % 4 != 3 ? LinearToSrgb(linear) : linear) * 255.0f;
                ASSERT_NEAR(gpu[i], expected, 1.01f) << c.name << " slice " << slice << " mip " << mip << " byte " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, GenerateMipsTest,
    ::testing::Values(MipCase{"Square8Staged", 8, 8, 4, Format::R8G8B8A8_UNORM, ResourceFlags::None},
                      MipCase{"Odd5x3Direct", 5, 3, 3, Format::R8G8B8A8_UNORM, ResourceFlags::AllowUnorderedAccess},
                      MipCase{"Odd7x13Staged", 7, 13, 4, Format::R8G8B8A8_UNORM, ResourceFlags::None},
                      MipCase{"SrgbStaged", 6, 4, 3, Format::R8G8B8A8_UNORM_SRGB, ResourceFlags::None},
                      MipCase{"Bgra12x5", 12, 5, 4, Format::B8G8R8A8_UNORM, ResourceFlags::None},
                      MipCase{"Array3Staged", 10, 6, 3, Format::R8G8B8A8_UNORM, ResourceFlags::None, 3},
                      MipCase{"CubeDirect", 8, 8, 4, Format::R8G8B8A8_UNORM, ResourceFlags::AllowUnorderedAccess, 6},
                      MipCase{"SrgbCubeStaged", 8, 8, 3, Format::R8G8B8A8_UNORM_SRGB, ResourceFlags::None, 6}),
    [](const ::testing::TestParamInfo<MipCase>& info) { return std::string(info.param.name); });

TEST_F(GpuResourceTest, GenerateMipsLeavesOtherShapesAlone) {
    auto singleMip = Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 4, 4),
                                                      ResourceState::NonPixelShaderResource);
    auto volume = Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex3D(Format::R8G8B8A8_UNORM, 4, 4, 4, 3),
                                                   ResourceState::NonPixelShaderResource);
    auto integer = Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R32_UINT, 4, 4, 1, 3),
                                                    ResourceState::NonPixelShaderResource);
    auto typeless = Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R16G16B16A16_TYPELESS, 4, 4, 6, 3),
                                                     ResourceState::NonPixelShaderResource);
    ResourceUploadBatch batch(Core().GetDeviceShared());
    batch.Begin();
    // A typeless texture has no format to filter in unless the caller names one.
    for (Resource* r : {singleMip.get(), volume.get(), integer.get(), typeless.get()}) batch.GenerateMips(r);
    EXPECT_EQ(batch.GetCommandList()->BarrierCallCount(), 0u);
    EXPECT_EQ(batch.GeneratedMipChains(), 0u);
    batch.End(Device()).wait();
}

TEST_F(GpuResourceTest, UploadBatchMisuseRaisesTheFixedTexts) {
    ResourceUploadBatch batch(Core().GetDeviceShared());
    auto texture = Device().CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 2, 2),
                                                    ResourceState::CopyDest);
    const uint32_t pixels[4] = {};
    const SubresourceData data{pixels, 8, 16};
    auto expectMessage = [](auto&& call, const char* text) {
        try {
            call();
            ADD_FAILURE() << "no exception, expected: " << text;
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), text);
        }
    };
    expectMessage([&] { batch.Upload(texture.get(), data); }, "Can't call Upload on a closed ResourceUploadBatch.");
    expectMessage([&] { batch.End(Device()); }, "ResourceUploadBatch already closed.");
    expectMessage([&] { batch.Transition(texture.get(), ResourceState::CopyDest, ResourceState::CopySource); }, "commandList != nullptr");
    batch.Begin();
    expectMessage([&] { batch.Begin(); }, "Can't Begin: already in a Begin-End block.");
    EXPECT_THROW(batch.GenerateMips(nullptr), std::invalid_argument);
    expectMessage([&] { batch.GenerateMips(nullptr); }, "Nullptr passed to GenerateMips");
    expectMessage([&] { batch.Transition(nullptr, ResourceState::CopyDest, ResourceState::CopySource); }, "resource != nullptr");
    // The batch is still usable after the refused calls, and can begin again after End.
    batch.Upload(texture.get(), data);
    batch.Transition(texture.get(), ResourceState::CopyDest, ResourceState::CopyDest);  // equal states: nothing
    EXPECT_EQ(batch.GetCommandList()->BarrierCallCount(), 0u);
    batch.End(Device()).wait();
    batch.Begin();
    batch.End(Device()).wait();
    expectMessage([&] { batch.End(Device()); }, "ResourceUploadBatch already closed.");
}

// Rows are read back at a 256-byte pitch: 3440 RGBA8 pixels take 13,760 bytes, padded to 13,824.
TEST_F(GpuResourceTest, WideReadbackKeepsThePitchAndEveryRow) {
    constexpr uint32_t kWidth = 3440, kHeight = 3;
    ColorBuffer texture;
    texture.Create(u"WideTexture", kWidth, kHeight, Format::R8G8B8A8_UNORM);
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7) ^ (i >> 9));
    ResourceUploadBatch batch(Core().GetDeviceShared());
    batch.Begin();
    batch.Transition(texture.GetResource(), ResourceState::Common, ResourceState::CopyDest);
    batch.Upload(texture.GetResource(), SubresourceData{pixels.data(), kWidth * 4, int64_t(pixels.size())});
    batch.End(Device()).wait();
    texture.SetState(ResourceState::CopyDest);

    ReadbackBuffer readback;
    const uint8_t* bytes = readback.ReadBack(texture);
    EXPECT_EQ(readback.RowPitch(), 13824u);
    EXPECT_EQ(readback.Size(), 13824u * (kHeight - 1) + 13760u);
    for (uint32_t y = 0; y < kHeight; ++y)
        ASSERT_EQ(std::memcmp(bytes + size_t(y) * 13824, pixels.data() + size_t(y) * kWidth * 4, kWidth * 4), 0) << "row " << y;
}

TEST_F(GpuResourceTest, FootprintsFollowTheCopyRules) {
    struct Case {
        ResourceDesc desc;
        uint32_t subresource, width, height, rowPitch, numRows;
        uint64_t totalBytes;
    };
    const Case cases[] = {
        {ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 1920, 1080), 0, 1920, 1080, 7680, 1080, 8294400},
        {ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 3440, 1440), 0, 3440, 1440, 13824, 1440, 13824ull * 1439 + 13760},
        {ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 5, 3, 1, 3), 1, 2, 1, 256, 1, 8},
        {ResourceDesc::Tex2D(Format::R8G8B8A8_UNORM, 5, 3, 1, 3), 2, 1, 1, 256, 1, 4},
        {ResourceDesc::Tex2D(Format::BC1_UNORM, 10, 6), 0, 10, 6, 256, 2, 256 + 24},
        {ResourceDesc::Tex2D(Format::R32G32B32_FLOAT, 3, 2), 0, 3, 2, 768, 2, 768 + 36},
    };
    for (const Case& c : cases) {
        const SubresourceFootprint fp = Device().GetCopyableFootprint(c.desc, c.subresource);
        EXPECT_EQ(fp.width, c.width);
        EXPECT_EQ(fp.height, c.height);
        EXPECT_EQ(fp.rowPitch, c.rowPitch);
        EXPECT_EQ(fp.numRows, c.numRows);
        EXPECT_EQ(fp.totalBytes, c.totalBytes) << FormatName(c.desc.format) << " sub " << c.subresource;
    }
}

TEST_F(GpuResourceTest, CopyFromResolvesAMultisampledTargetIntoANewSize) {
    ColorBuffer msaa;
    msaa.Create(u"MsaaTarget", 4, 4, Format::R16G16B16A16_FLOAT, true);
    EXPECT_EQ(msaa.SampleCount(), Device().MsaaSampleCount());
    ColorBuffer resolved;
    resolved.Create(u"Resolved", 2, 2, Format::R8G8B8A8_UNORM);
    const int32_t srvSlot = resolved.srvHandle.index, uavSlot = resolved.uavHandle.index;

    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    msaa.TransitionTo(list, ResourceState::RenderTarget);
    const float color[4] = {0.5f, 0.25f, 1.0f, 1.0f};
    list.ClearRenderTargetView(msaa.rtvHandle.Cpu(), color);
    resolved.CopyFrom(msaa, list);
    SubmitAndWait();

    EXPECT_EQ(resolved.Width(), 4u);
    EXPECT_EQ(resolved.Format(), Format::R16G16B16A16_FLOAT);
    EXPECT_FALSE(resolved.IsMultisampled());
    EXPECT_EQ(resolved.srvHandle.index, srvSlot);
    EXPECT_EQ(resolved.uavHandle.index, uavSlot);
    ReadbackBuffer readback;
    const uint8_t* bytes = readback.ReadBack(resolved);
    // Half floats: 0.5 = 0x3800, 0.25 = 0x3400, 1.0 = 0x3C00.
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
            uint16_t px[4];
            std::memcpy(px, bytes + y * readback.RowPitch() + x * 8, 8);
            EXPECT_EQ(px[0], 0x3800);
            EXPECT_EQ(px[1], 0x3400);
            EXPECT_EQ(px[2], 0x3C00);
            EXPECT_EQ(px[3], 0x3C00);
        }
}

TEST_F(GpuResourceTest, RecreationKeepsEveryDescriptorSlot) {
    ColorBuffer color;
    color.Create(u"SceneColorBuffer", 4, 4, Format::R8G8B8A8_UNORM_SRGB);
    DepthBuffer depth;
    depth.Create(u"SceneDepth", 4, 4, Format::D32_FLOAT);
    CubeColorBuffer cube;
    cube.Create(u"Cube", 4, 3, Format::R16G16B16A16_FLOAT);
    ColorBufferArray array;
    array.Create(u"Array", 4, 4, 3, Format::R16G16_FLOAT);
    VolumeBuffer volume;
    volume.Create(u"Volume", 4, 4, 4, Format::R16G16B16A16_FLOAT);
    UintBuffer uints;
    uints.Create(u"Uints", 16);

    auto slots = [&] {
        return std::vector<int32_t>{color.srvHandle.index, color.rtvHandle.index, color.uavHandle.index, color.uavCpuHandle.index,
                                    depth.dsvHandle.index, depth.dsvReadOnlyHandle.index, depth.srvHandle.index,
                                    cube.srvHandle.index, cube.uavHandles[0].index, cube.uavHandles[2].index,
                                    array.srvHandle.index, array.uavHandle.index, volume.srvHandle.index,
                                    volume.uavHandle.index, uints.uavHandle.index, uints.srvHandle.index};
    };
    const std::vector<int32_t> before = slots();
    EXPECT_TRUE(std::none_of(before.begin(), before.end(), [](int32_t s) { return s < 0; }));
    EXPECT_TRUE(cube.uavHandles[3].IsNull());
    const Resource* oldColor = color.GetResource();

    color.Create(u"SceneColorBuffer", 9, 7, Format::R8G8B8A8_UNORM_SRGB);
    depth.Create(u"SceneDepth", 9, 7, Format::D32_FLOAT);
    cube.Create(u"Cube", 8, 3, Format::R16G16B16A16_FLOAT);
    array.Create(u"Array", 9, 7, 3, Format::R16G16_FLOAT);
    volume.Create(u"Volume", 8, 8, 8, Format::R16G16B16A16_FLOAT);
    uints.Create(u"Uints", 64);
    EXPECT_EQ(slots(), before);
    EXPECT_NE(color.GetResource(), oldColor);
    EXPECT_EQ(color.GetResource()->Desc().width, 9u);
    EXPECT_EQ(color.GetResource()->Name(), "SceneColorBuffer");
    EXPECT_EQ(uints.GetState(), ResourceState::UnorderedAccess);

    // The re-written views are usable: clear the new colour target and the depth buffer.
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    color.TransitionTo(list, ResourceState::RenderTarget);
    depth.TransitionTo(list, ResourceState::DepthWrite);
    const float white[4] = {1, 1, 1, 1};
    list.ClearRenderTargetView(color.rtvHandle.Cpu(), white);
    list.ClearDepthStencilView(depth.dsvHandle.Cpu(), 1.0f, 0);
    uints.TransitionTo(list, ResourceState::UnorderedAccess);
    const uint32_t zero[4] = {};
    list.ClearUnorderedAccessViewUint(*uints.GetResource(), zero);
    SubmitAndWait();
    ReadbackBuffer readback;
    const uint8_t* bytes = readback.ReadBack(color);
    EXPECT_EQ(bytes[0], 255);
    EXPECT_EQ(bytes[6 * readback.RowPitch() + 8 * 4 + 2], 255);
}

TEST_F(GpuResourceTest, StructuredBufferCopiesArePerFrame) {
    struct Item {
        float value[3];
        uint32_t id;
    };
    StructuredBuffer<Item> buffer;
    buffer.Create(Device(), 5, kFrameCount, u"Items");
    EXPECT_EQ(buffer.CopySize(), 5 * sizeof(Item));
    EXPECT_EQ(buffer.GpuVirtualAddress(1) - buffer.GpuVirtualAddress(0), 5 * sizeof(Item));
    for (uint32_t frame = 0; frame < kFrameCount; ++frame) {
        for (uint32_t i = 0; i < 5; ++i) buffer[i] = Item{{float(i), 0, 0}, frame * 10 + i};
        buffer.CopyStagingToGpu(frame);
    }
    const auto* mapped = static_cast<const Item*>(buffer.GetResource()->Map());
    EXPECT_EQ(mapped[3].id, 3u);
    EXPECT_EQ(mapped[5 + 3].id, 13u);
}

}  // namespace
}  // namespace TavrinTest
