// The sky's textures: the cube converted from an equirectangular image points every texel the
// way the image does, its mips are filtered face by face, and the lighting cube accumulated one
// step at a time converges to the right irradiance and radiance, stops changing its irradiance
// after 256 steps and everything after 2048. The built-in image is a sky, not a flat colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "Engine/TextureLoader/HDRTextureLoader.h"
#include "assets/SampleEnvironment.h"
#include "renderer/passes/EnvironmentMaps.h"
#include "tests/engine/GpuTest.h"
#include "tests/renderer/EnvironmentImages.h"

namespace RendererTest {
namespace {

using namespace Engine::Platform;
using ProjectTavrin::EnvironmentMaps;

constexpr ResourceState kShaderRead = ResourceState::NonPixelShaderResource | ResourceState::PixelShaderResource;

class EnvironmentMapsGpu : public TavrinTest::GpuTest {
protected:
    /// Runs `steps` accumulation steps, as that many frames would.
    void Accumulate(EnvironmentMaps& maps, uint32_t steps) {
        while (steps > 0) {
            const uint32_t now = std::min(steps, 256u);
            Engine::ResourceUploadBatch batch(Core().GetDeviceShared());
            batch.Begin();
            batch.GetCommandList()->SetDescriptorHeaps(Core().GetHeap(DescriptorHeapType::CbvSrvUav));
            for (uint32_t i = 0; i < now; ++i) maps.Accumulate(*batch.GetCommandList());
            batch.End(Device()).wait();
            steps -= now;
        }
    }

    /// Every texel of mip `mip` of `cube` as RGBA floats, face after face.
    std::vector<Math::vec4> ReadCube(Engine::CubeColorBuffer& cube, uint32_t mip) {
        const ResourceState before = cube.GetState();
        Transition(cube, ResourceState::CopySource);
        std::vector<Math::vec4> texels;
        const bool half = cube.Format() == Format::R16G16B16A16_FLOAT;
        for (uint32_t face = 0; face < 6; ++face) {
            const std::vector<uint8_t> bytes = ReadSubresource(*cube.GetResource(), CalcSubresource(mip, face, cube.MipCount()));
            const size_t count = bytes.size() / (half ? 8 : 16);
            for (size_t i = 0; i < count; ++i) {
                float c[4];
                if (half) {
                    uint16_t h[4];
                    std::memcpy(h, &bytes[i * 8], 8);
                    for (int k = 0; k < 4; ++k) c[k] = Engine::HalfToFloat(h[k]);
                } else {
                    std::memcpy(c, &bytes[i * 16], 16);
                }
                texels.push_back({c[0], c[1], c[2], c[3]});
            }
        }
        Transition(cube, before);
        return texels;
    }

    void Transition(Engine::CubeColorBuffer& cube, ResourceState state) {
        Engine::ResourceUploadBatch batch(Core().GetDeviceShared());
        batch.Begin();
        cube.TransitionTo(*batch.GetCommandList(), state);
        batch.End(Device()).wait();
    }
};

Math::vec3 DirectionColour(Math::vec3 d) { return {0.5f + 0.5f * d.x, 0.5f + 0.5f * d.y, 0.5f + 0.5f * d.z}; }

/// Each texel of every face of mip `mip` (faces of `size`) against `expected` of its direction.
void ExpectCubeMatches(const std::vector<Math::vec4>& texels, uint32_t size, float tolerance, const char* what) {
    ASSERT_EQ(texels.size(), size_t(size) * size * 6) << what;
    int failures = 0;
    for (uint32_t face = 0; face < 6; ++face)
        for (uint32_t y = 0; y < size; ++y)
            for (uint32_t x = 0; x < size; ++x) {
                const Math::vec4 t = texels[(size_t(face) * size + y) * size + x];
                const Math::vec3 e = DirectionColour(CubeTexelDirection(face, x, y, size));
                const float error = std::max({std::fabs(t.x - e.x), std::fabs(t.y - e.y), std::fabs(t.z - e.z)});
                if (error > tolerance && ++failures <= 3)
                    ADD_FAILURE() << what << " face " << face << " texel (" << x << ", " << y << "): (" << t.x << ", " << t.y
                                  << ", " << t.z << ") expected (" << e.x << ", " << e.y << ", " << e.z << ")";
            }
}

// A colour that says where it looks: every cube texel, read straight and through the lighting
// cube's mirror mip (which samples the cube by direction, as the hardware picks faces), holds
// the image's colour in its own direction; the next mip down still does, filtered face by face.
TEST_F(EnvironmentMapsGpu, CubeFacesMatchTheImageInTheirDirections) {
    EnvironmentMaps maps(Device(), 64);
    maps.Load(Core(), EquirectImage(128, 64, DirectionColour));
    ASSERT_TRUE(maps.IsLoaded());
    Engine::CubeColorBuffer& cube = maps.EnvironmentCube();
    ASSERT_EQ(cube.Size(), 32u);
    EXPECT_EQ(cube.MipCount(), EnvironmentMaps::CubeMipCount(128, 64));
    ExpectCubeMatches(ReadCube(cube, 0), 32, 0.02f, "environment cube mip 0");
    ExpectCubeMatches(ReadCube(cube, 1), 16, 0.04f, "environment cube mip 1");
    Accumulate(maps, 1);
    ExpectCubeMatches(ReadCube(maps.AmbientCube(), 0), 64, 0.03f, "lighting cube mip 0");
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST(EnvironmentMapsSizes, CubeMipsFollowTheImage) {
    EXPECT_EQ(EnvironmentMaps::CubeMipCount(2048, 1024), 10u);  // faces of 512
    EXPECT_EQ(EnvironmentMaps::CubeMipCount(1000, 500), 8u);    // faces of 250
    EXPECT_EQ(EnvironmentMaps::CubeMipCount(4, 2), 1u);
    // A tall image cannot give a face more mips than its side has.
    EXPECT_EQ(EnvironmentMaps::CubeMipCount(64, 4096), 5u);
    EXPECT_EQ(EnvironmentMaps::FaceSize(2048, 16384), 512u);
    EXPECT_EQ(EnvironmentMaps::FaceSize(1000, 16384), 250u);
    EXPECT_EQ(EnvironmentMaps::FaceSize(16384, 16384), 2048u) << "at most 2048";
    EXPECT_EQ(EnvironmentMaps::FaceSize(16384, 1024), 1024u) << "at most what the device takes";
    EXPECT_EQ(EnvironmentMaps::FaceSize(3, 16384), 1u);
}

// Under a sky of one colour every direction receives that colour, so after the full 2048 steps
// the irradiance and every radiance mip hold it; after that a step records nothing.
TEST_F(EnvironmentMapsGpu, ConstantSkyConvergesToItsColour) {
    const Math::vec3 colour{0.8f, 0.5f, 0.2f};
    EnvironmentMaps maps(Device(), 64);
    maps.Load(Core(), EquirectImage(64, 32, [&](Math::vec3) { return colour; }));
    Accumulate(maps, EnvironmentMaps::kAccumulationSteps);
    EXPECT_EQ(maps.Progress(), 2048u);
    EXPECT_FALSE(maps.AccumulationPending());
    for (uint32_t mip = 0; mip < EnvironmentMaps::kAmbientMips; ++mip) {
        const std::vector<Math::vec4> texels = ReadCube(maps.AmbientCube(), mip);
        ASSERT_EQ(texels.size(), size_t(64 >> mip) * (64 >> mip) * 6);
        for (const Math::vec4& t : texels) {
            ASSERT_NEAR(t.x, colour.x, colour.x * 0.01f) << "mip " << mip;
            ASSERT_NEAR(t.y, colour.y, colour.y * 0.01f) << "mip " << mip;
            ASSERT_NEAR(t.z, colour.z, colour.z * 0.01f) << "mip " << mip;
        }
    }
    Engine::ResourceUploadBatch batch(Core().GetDeviceShared());
    batch.Begin();
    maps.Accumulate(*batch.GetCommandList());
    EXPECT_EQ(batch.GetCommandList()->BarrierCount(), 0u);
    batch.End(Device()).wait();
    EXPECT_EQ(maps.Progress(), 2048u);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// A bright sky over dark ground. Half-way through the irradiance steps a normal facing up
// already receives the sky, one facing down the ground, and one facing sideways (half sky, half
// ground) lies between them at their mean. The irradiance stops at step 256; the radiance goes on.
TEST_F(EnvironmentMapsGpu, HalfAccumulatedIrradianceLiesBetweenSkyAndGround) {
    const Math::vec3 sky{1.0f, 0.9f, 0.8f}, ground{0.1f, 0.1f, 0.1f};
    EnvironmentMaps maps(Device(), 64);
    maps.Load(Core(), EquirectImage(128, 64, [&](Math::vec3 d) { return d.y >= 0 ? sky : ground; }));
    constexpr uint32_t kIrradianceMip = EnvironmentMaps::kAmbientMips - 1;
    Accumulate(maps, EnvironmentMaps::kIrradianceSteps / 2);
    std::vector<Math::vec4> irradiance = ReadCube(maps.AmbientCube(), kIrradianceMip);
    ASSERT_EQ(irradiance.size(), 6u);  // one texel per face
    auto near = [](Math::vec4 t, Math::vec3 e, float relative) {
        return std::fabs(t.x - e.x) <= e.x * relative && std::fabs(t.y - e.y) <= e.y * relative && std::fabs(t.z - e.z) <= e.z * relative;
    };
    EXPECT_TRUE(near(irradiance[2], sky, 0.05f)) << irradiance[2].x << " " << irradiance[2].y << " " << irradiance[2].z;
    EXPECT_TRUE(near(irradiance[3], ground, 0.15f)) << irradiance[3].x << " " << irradiance[3].y << " " << irradiance[3].z;
    const Math::vec3 mean = (sky + ground) * 0.5f;
    for (uint32_t face : {0u, 1u, 4u, 5u}) {
        const Math::vec4 t = irradiance[face];
        EXPECT_GT(t.x, ground.x);
        EXPECT_LT(t.x, sky.x);
        EXPECT_TRUE(near(t, mean, 0.06f)) << "face " << face << ": " << t.x << " " << t.y << " " << t.z;
    }

    Accumulate(maps, EnvironmentMaps::kIrradianceSteps / 2);
    irradiance = ReadCube(maps.AmbientCube(), kIrradianceMip);
    const std::vector<Math::vec4> radiance = ReadCube(maps.AmbientCube(), 3);
    Accumulate(maps, 40);
    EXPECT_EQ(maps.Progress(), 296u);
    const std::vector<Math::vec4> laterIrradiance = ReadCube(maps.AmbientCube(), kIrradianceMip);
    EXPECT_EQ(std::memcmp(irradiance.data(), laterIrradiance.data(), irradiance.size() * sizeof(Math::vec4)), 0);
    const std::vector<Math::vec4> laterRadiance = ReadCube(maps.AmbientCube(), 3);
    // The weight sum in alpha grows with every radiance step.
    EXPECT_GT(laterRadiance[0].w, radiance[0].w);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The built-in image: a 2048 x 1024 Radiance file; blue straight up, the sun far brighter than
// the sky around it where the default sun direction points, a darker ground below the horizon.
TEST(SampleEnvironment, IsAClearSkyWithASunAndGround) {
    Engine::DecodedTexture image;
    ASSERT_EQ(Engine::DecodeHdr(std::span<const uint8_t>(Assets::kSampleEnvironmentHdr, Assets::kSampleEnvironmentHdrSize), image),
              Engine::DecodeResult::Ok);
    ASSERT_EQ(image.desc.width, 2048u);
    ASSERT_EQ(image.desc.height, 1024u);
    EXPECT_EQ(EnvironmentMaps::CubeMipCount(2048, 1024), 10u);
    auto texel = [&](Math::vec3 dir) {
        // The mapping of EquirectUv.
        const float u = std::fmod(1.0f - std::atan2(dir.x, dir.z) / (2 * Math::kPi), 1.0f);
        const float v = std::acos(std::clamp(dir.y, -1.0f, 1.0f)) / Math::kPi;
        const uint32_t column = std::min(uint32_t(u * 2048), 2047u), row = std::min(uint32_t(v * 1024), 1023u);
        const auto* half = reinterpret_cast<const uint16_t*>(image.pixels.data()) + (size_t(row) * 2048 + column) * 4;
        return Math::vec3{Engine::HalfToFloat(half[0]), Engine::HalfToFloat(half[1]), Engine::HalfToFloat(half[2])};
    };
    const Math::vec3 zenith = texel({0, 1, 0});
    EXPECT_GT(zenith.z, zenith.x * 1.5f) << "a clear sky is blue overhead";
    const Math::vec3 sun = texel(Math::Normalize({1, 1, 1}));
    const Math::vec3 awayFromSun = texel(Math::Normalize({-1, 1, -1}));
    EXPECT_GT(sun.x, 1000.0f * awayFromSun.x);
    const Math::vec3 ground = texel(Math::Normalize({0, -1, -2}));
    EXPECT_GT(ground.x, 0.0f);
    EXPECT_LT(ground.x + ground.y + ground.z, texel(Math::Normalize({1, 0.05f, 1})).x * 3.0f) << "ground darker than the sunward horizon";
    EXPECT_GT(ground.y, ground.z) << "land, not water";
}

}  // namespace
}  // namespace RendererTest
