#include "Engine/TextureLoader/ColorFilterLut.h"
#include "Engine/TextureLoader/DDSTextureLoader.h"
#include "Engine/TextureLoader/HDRTextureLoader.h"
#include "Engine/TextureLoader/HalfFloat.h"
#include "Engine/TextureLoader/TextureLoader.h"
#include "GpuTest.h"
#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "tests/support/TextureFileWriters.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

using namespace Engine;
using Platform::ResourceDimension;
using Platform::ResourceState;
using TestSupport::CountingBytes;
using TestSupport::DdsLayout;

namespace {

class TextureLoaderTest : public TavrinTest::GpuTest {
protected:
    void SetUp() override {
        GpuTest::SetUp();
        if (IsSkipped()) return;
        char pattern[] = "/tmp/tavrin-textures-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        MessageLog::Instance().Clear();
    }
    void TearDown() override {
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
        GpuTest::TearDown();
    }

    std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::filesystem::path path = m_dir / name;
        EXPECT_TRUE(WriteWholeFileAtomic(path, bytes));
        return path;
    }

    // Loads `path` on a batch of its own and waits for it.
    TextureResource Load(const std::filesystem::path& path) {
        TextureResource texture;
        ResourceUploadBatch batch(Core().GetDeviceShared());
        batch.Begin();
        LoadTexture(texture, path, batch);
        batch.End(Device()).wait();
        return texture;
    }

    // Reads one subresource of a loaded texture (in the pixel-shader-resource state).
    std::vector<uint8_t> Read(Platform::Resource& texture, uint32_t subresource) {
        ResourceUploadBatch batch(Core().GetDeviceShared());
        batch.Begin();
        batch.Transition(&texture, ResourceState::PixelShaderResource, ResourceState::CopySource);
        batch.End(Device()).wait();
        std::vector<uint8_t> bytes = ReadSubresource(texture, subresource);
        batch.Begin();
        batch.Transition(&texture, ResourceState::CopySource, ResourceState::PixelShaderResource);
        batch.End(Device()).wait();
        return bytes;
    }

    std::filesystem::path m_dir;
};

std::vector<uint8_t> Uniform(int width, int height, std::array<uint8_t, 4> rgba) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = rgba[i % 4];
    return pixels;
}

}  // namespace

TEST_F(TextureLoaderTest, PngGetsAFullGeneratedMipChain) {
    // Upper-case extension: same decoder.
    const auto texture = Load(Write("tile.PNG", TestSupport::EncodePng(8, 4, Uniform(8, 4, {200, 100, 50, 255}))));
    ASSERT_TRUE(texture.resource);
    EXPECT_FALSE(texture.srv.IsNull());
    EXPECT_EQ(texture.state, ResourceState::PixelShaderResource);
    EXPECT_EQ(texture.description.format, Platform::Format::R8G8B8A8_UNORM);
    EXPECT_EQ(texture.description.width, 8u);
    EXPECT_EQ(texture.description.height, 4u);
    EXPECT_EQ(texture.description.mipLevels, 4u);
    EXPECT_EQ(texture.resource->Name(), m_dir.string() + "/tile.PNG");
    EXPECT_EQ(Read(*texture.resource, 0), Uniform(8, 4, {200, 100, 50, 255}));
    const auto mip3 = Read(*texture.resource, 3);  // 1 x 1
    ASSERT_EQ(mip3.size(), 4u);
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(mip3[c], (std::array<int, 4>{200, 100, 50, 255})[c], 1);
    EXPECT_TRUE(MessageLog::Instance().Peek().empty());
}

// The alpha is found in the one decode the load does and kept with the texture: soft and
// cut-out PNGs, a JPEG (no alpha at all), an uncompressed DDS with soft alpha.
TEST_F(TextureLoaderTest, TexturesKeepWhatTheirAlphaHolds) {
    std::vector<uint8_t> soft = Uniform(4, 4, {10, 20, 30, 255}), cut = soft;
    soft[4 * 5 + 3] = 128;
    cut[4 * 5 + 3] = 0;
    EXPECT_EQ(Load(Write("soft.png", TestSupport::EncodePng(4, 4, soft))).alpha, AlphaContent::Soft);
    EXPECT_EQ(Load(Write("cut.png", TestSupport::EncodePng(4, 4, cut))).alpha, AlphaContent::CutOut);
    EXPECT_EQ(Load(Write("opaque.png", TestSupport::EncodePng(4, 4, Uniform(4, 4, {1, 2, 3, 255})))).alpha, AlphaContent::Opaque);
    EXPECT_EQ(Load(Write("photo.jpg", TestSupport::EncodeJpeg(4, 4, soft))).alpha, AlphaContent::Opaque);
    DdsLayout dds;  // 4 x 4 B8G8R8A8 by masks
    dds.masks[0] = 0xFF0000;
    dds.masks[2] = 0xFF;
    dds.pixels = Uniform(4, 4, {30, 20, 10, 200});
    const auto loaded = Load(Write("soft.dds", TestSupport::WriteDds(dds)));
    ASSERT_TRUE(loaded.resource);
    EXPECT_EQ(loaded.alpha, AlphaContent::Soft);
    EXPECT_EQ(GetBlankTexture().alpha, AlphaContent::Opaque);
}

TEST_F(TextureLoaderTest, TgaAndPathWithoutExtension) {
    const std::vector<uint8_t> pixel = {9, 8, 7, 255};
    const auto tga = Load(Write("one.tga", TestSupport::EncodeTga(1, 1, pixel, true)));
    ASSERT_TRUE(tga.resource);
    EXPECT_EQ(tga.description.mipLevels, 1u);
    EXPECT_EQ(Read(*tga.resource, 0), pixel);

    // No extension: the general image decoders (here a BMP).
    const auto bmp = Load(Write("noextension", TestSupport::EncodeBmp(2, 2, Uniform(2, 2, {1, 2, 3, 255}))));
    ASSERT_TRUE(bmp.resource);
    EXPECT_EQ(Read(*bmp.resource, 0), Uniform(2, 2, {1, 2, 3, 255}));
}

TEST_F(TextureLoaderTest, DdsMipsCubeFacesAndVolumesAreUploadedFromTheFile) {
    // BC1 8 x 8 with its own 4 mips: every mip comes from the file.
    DdsLayout bc1;
    bc1.pfFlags = 0x4;
    bc1.fourCC = MakeFourCC('D', 'X', 'T', '1');
    bc1.width = bc1.height = 8;
    bc1.mipCount = 4;
    bc1.pixels = CountingBytes(32 + 8 + 8 + 8, 1);
    const auto bc = Load(Write("bc1.dds", TestSupport::WriteDds(bc1)));
    ASSERT_TRUE(bc.resource);
    EXPECT_EQ(bc.description.format, Platform::Format::BC1_UNORM);
    EXPECT_EQ(bc.description.mipLevels, 4u);
    EXPECT_EQ(Read(*bc.resource, 0), std::vector<uint8_t>(bc1.pixels.begin(), bc1.pixels.begin() + 32));
    EXPECT_EQ(Read(*bc.resource, 2), std::vector<uint8_t>(bc1.pixels.begin() + 40, bc1.pixels.begin() + 48));

    // Cube map 4 x 4 RGBA8 with 2 mips: the last face's mips hold the file's last bytes.
    DdsLayout cube;
    cube.caps2 = 0xFE00;
    cube.mipCount = 2;
    cube.pixels = CountingBytes(6 * 80, 3);
    const auto cubeTexture = Load(Write("sky.dds", TestSupport::WriteDds(cube)));
    ASSERT_TRUE(cubeTexture.resource);
    EXPECT_EQ(cubeTexture.description.depthOrArraySize, 6u);
    EXPECT_EQ(Read(*cubeTexture.resource, 5 * 2 + 0), std::vector<uint8_t>(cube.pixels.begin() + 400, cube.pixels.begin() + 464));
    EXPECT_EQ(Read(*cubeTexture.resource, 5 * 2 + 1), std::vector<uint8_t>(cube.pixels.begin() + 464, cube.pixels.end()));

    // Volume 4 x 4 x 2, one mip, R8_UNORM via the extended header.
    DdsLayout volume;
    volume.pfFlags = 0x4;
    volume.fourCC = MakeFourCC('D', 'X', '1', '0');
    volume.dx10 = true;
    volume.dxgiFormat = static_cast<uint32_t>(DxgiFormat::R8_Unorm);
    volume.resourceDimension = 4;
    volume.flags = 0x1007 | 0x800000;
    volume.depth = 2;
    volume.pixels = CountingBytes(32, 5);
    const auto vol = Load(Write("fog.dds", TestSupport::WriteDds(volume)));
    ASSERT_TRUE(vol.resource);
    EXPECT_EQ(vol.description.dimension, ResourceDimension::Texture3D);
    EXPECT_EQ(Read(*vol.resource, 0), volume.pixels);
}

TEST_F(TextureLoaderTest, SingleMipDdsGetsAGeneratedChainWhereTheFormatAllows) {
    DdsLayout rgba;  // legacy R8G8B8A8 4 x 4, one mip
    rgba.pixels = Uniform(4, 4, {10, 20, 30, 40});
    const auto generated = Load(Write("flat.dds", TestSupport::WriteDds(rgba)));
    ASSERT_TRUE(generated.resource);
    EXPECT_EQ(generated.description.mipLevels, 3u);
    EXPECT_EQ(Read(*generated.resource, 2), (std::vector<uint8_t>{10, 20, 30, 40}));

    DdsLayout bc3;  // block-compressed: no chain to generate
    bc3.pfFlags = 0x4;
    bc3.fourCC = MakeFourCC('D', 'X', 'T', '5');
    bc3.pixels = CountingBytes(16);
    const auto single = Load(Write("flat_bc3.dds", TestSupport::WriteDds(bc3)));
    ASSERT_TRUE(single.resource);
    EXPECT_EQ(single.description.mipLevels, 1u);
}

TEST_F(TextureLoaderTest, MissingAndUndecodableFilesFallBackToTheBlankTexture) {
    const TextureResource& blank = GetBlankTexture();
    ASSERT_TRUE(blank.resource);
    EXPECT_EQ(&GetBlankTexture(), &blank);
    EXPECT_EQ(blank.resource->Name(), "BlankTex");
    EXPECT_EQ(blank.description.width, 16u);
    EXPECT_EQ(Read(*blank.resource, 0), Uniform(16, 16, {0, 0, 0, 255}));

    const std::filesystem::path missing = m_dir / "Missing.png";
    const auto a = Load(missing);
    EXPECT_EQ(MessageLog::Instance().TakeAll(), u"Failed to load texture(Case sensitive) : " + Utf8ToUtf16(missing.string()) + u"\r\n");
    EXPECT_EQ(a.resource, blank.resource);
    EXPECT_EQ(a.srv.index, blank.srv.index);

    // The name is not retried in another letter case.
    Write("case.png", TestSupport::EncodePng(1, 1, {1, 1, 1, 255}));
    const auto b = Load(m_dir / "CASE.png");
    EXPECT_EQ(b.resource, blank.resource);
    MessageLog::Instance().Clear();

    for (const char* name : {"broken.png", "broken.dds", "broken.tga", "sky.hdr", "table.cube"}) {
        const auto path = Write(name, {'n', 'o', 'p', 'e'});
        const auto c = Load(path);
        EXPECT_EQ(c.resource, blank.resource) << name;
        EXPECT_EQ(c.srv.index, blank.srv.index) << name;
        EXPECT_EQ(MessageLog::Instance().TakeAll(), u"Failed to decode texture : " + Utf8ToUtf16(path.string()) + u"\r\n");
    }
}

TEST_F(TextureLoaderTest, RadianceImageUploadsAsHalfFloats) {
    const std::vector<uint8_t> file = TestSupport::WriteRgbe("#?RADIANCE\n\n-Y 1 +X 2\n", {128, 64, 0, 136, 255, 255, 255, 200});
    DecodedTexture decoded;
    std::shared_ptr<Platform::Resource> texture;
    ASSERT_EQ(LoadHDRTextureFromMemory(Device(), {file.data(), file.size()}, texture, decoded), DecodeResult::Ok);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->Desc().format, Platform::Format::R16G16B16A16_FLOAT);
    ResourceUploadBatch batch(Core().GetDeviceShared());
    batch.Begin();
    UploadDecodedTexture(*texture, decoded, batch);
    batch.End(Device()).wait();
    const auto bytes = Read(*texture, 0);
    ASSERT_EQ(bytes.size(), 16u);
    const float expected[8] = {128, 64, 0, 1, 60000, 60000, 60000, 1};
    for (int i = 0; i < 8; ++i) {
        uint16_t half;
        std::memcpy(&half, &bytes[i * 2], 2);
        EXPECT_FLOAT_EQ(HalfToFloat(half), expected[i]) << i;
    }
}

TEST_F(TextureLoaderTest, ColorFilterLutSampleFilesAndFailures) {
    TextureResource& lut = GetColorFilterLut();
    LoadColorFilterLut("<Sample>");
    ASSERT_TRUE(lut.resource);
    EXPECT_FALSE(lut.srv.IsNull());
    EXPECT_EQ(lut.resource->Name(), "<Sample>");
    EXPECT_EQ(lut.description.dimension, ResourceDimension::Texture3D);
    EXPECT_EQ(lut.description.width, 17u);
    EXPECT_EQ(lut.description.depthOrArraySize, 17u);
    const auto texels = Read(*lut.resource, 0);
    float first[3];
    std::memcpy(first, texels.data(), 12);
    EXPECT_FLOAT_EQ(first[0], 0.0275f);
    EXPECT_FLOAT_EQ(first[1], 0.0314f);
    EXPECT_FLOAT_EQ(first[2], 0.0353f);
    const int32_t sampleSrv = lut.srv.index;

    // A file table replaces it with a new descriptor.
    std::string text = "TITLE \"ramp\"\nLUT_3D_SIZE 2\n";
    for (int k = 0; k < 8; ++k) text += std::to_string(k & 1) + " " + std::to_string((k >> 1) & 1) + " 0.5\n";
    LoadColorFilterLut(Write("ramp.cube", std::vector<uint8_t>(text.begin(), text.end())));
    ASSERT_TRUE(lut.resource);
    EXPECT_EQ(lut.description.width, 2u);
    EXPECT_NE(lut.srv.index, sampleSrv);

    // A missing file keeps the current table.
    LoadColorFilterLut(m_dir / "gone.cube");
    EXPECT_TRUE(lut.resource);
    EXPECT_EQ(lut.description.width, 2u);
    EXPECT_FALSE(MessageLog::Instance().TakeAll().empty());

    // A table that does not parse, or an image that is not a 3D table, leaves no table.
    for (const auto& [name, bytes] : {std::pair<std::string, std::vector<uint8_t>>{"bad.cube", {'L', 'U', 'T', '_', '3', 'D', '_', 'S', 'I', 'Z', 'E', ' ', '1', '\n'}},
                                      {"flat.png", TestSupport::EncodePng(2, 2, Uniform(2, 2, {0, 0, 0, 255}))}}) {
        LoadColorFilterLut("<Sample>");
        ASSERT_TRUE(lut.resource);
        LoadColorFilterLut(Write(name, bytes));
        EXPECT_FALSE(lut.resource) << name;
        EXPECT_TRUE(lut.srv.IsNull()) << name;
        EXPECT_FALSE(MessageLog::Instance().TakeAll().empty()) << name;
    }
}
