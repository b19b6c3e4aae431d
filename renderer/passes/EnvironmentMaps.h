#pragma once
// The sky's three textures and how they are made. Loading an equirectangular Radiance image
// gives "EnvironmentMap" (the image itself, read by the sky and the ocean), the mip-mapped cube
// "m_environmentCubeMap" converted from it, and a fresh lighting cube "AmbientCubemap" that the
// frame then fills one accumulation step at a time: radiance prefiltered for roughness 0, 0.2 ..
// 1.0 in mips 0 to 5 over 2048 steps, irradiance in mip 6 over the first 256, so that a new sky
// costs a little GPU time per frame and never a stall.
//
// A file that cannot be read or decoded leaves every texture as it was (the previous sky stays)
// and says so in the message log, naming the file.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Engine/GpuResource/CubeColorBuffer.h"
#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/Platform/Device.h"
#include "Engine/TextureLoader/DecodedTexture.h"
#include "renderer/passes/ComputePass.h"

namespace Engine {
class EngineCore;
}

namespace ProjectTavrin {

class EnvironmentMaps {
public:
    static constexpr uint32_t kAccumulationSteps = 2048;
    static constexpr uint32_t kIrradianceSteps = 256;
    static constexpr uint32_t kAmbientMips = 7;  ///< six radiance mips, then irradiance
    static constexpr uint32_t kDefaultAmbientSize = 512;
    /// Directions each texel adds per step.
    static constexpr uint32_t kRadianceSamplesPerStep = 2;
    static constexpr uint32_t kIrradianceSamplesPerStep = 64;
    /// The largest face of the environment cube: wider images (above 8192 texels) are sampled
    /// down into it rather than taking gigabytes.
    static constexpr uint32_t kMaxFaceSize = 2048;

    /// `ambientSize`: the lighting cube's face size (at least 64, so that mip 6 exists).
    explicit EnvironmentMaps(Engine::Platform::Device& device, uint32_t ambientSize = kDefaultAmbientSize);
    ~EnvironmentMaps();
    EnvironmentMaps(const EnvironmentMaps&) = delete;
    EnvironmentMaps& operator=(const EnvironmentMaps&) = delete;

    /// Loads `file` ("<Sample>": the image built into the program) and waits for the GPU work.
    /// The caller makes sure no frame is in flight that reads the textures (a scene task).
    /// False, with a message naming the file and every texture kept, when the file is missing
    /// or is no Radiance image.
    bool Load(Engine::EngineCore& core, const std::string& file);
    /// The same from an image already decoded (one 2-D subresource of a float RGBA format).
    /// A platform failure on the way (out of memory) leaves no sky and is raised.
    void Load(Engine::EngineCore& core, const Engine::DecodedTexture& image);
    /// Drops the sky: the sky, the ocean and image-based lighting stop until the next load.
    void Unload();

    bool IsLoaded() const { return m_image != nullptr; }
    /// Steps done since the last load (0 .. 2048).
    uint32_t Progress() const { return m_progress; }
    bool AccumulationPending() const { return IsLoaded() && m_progress < kAccumulationSteps; }
    /// Records one accumulation step (the descriptor heap is bound by the caller); nothing once
    /// the cube is complete or without a sky.
    void Accumulate(Engine::Platform::CommandList& list);

    /// Heap indices of the views the draws read: the image (2-D) and the lighting cube (all
    /// mips). Valid only while loaded.
    uint32_t ImageView() const { return m_imageSrv.Gpu(); }
    uint32_t AmbientView() const { return m_ambient.srvHandle.Gpu(); }
    Engine::Platform::Resource* Image() const { return m_image.get(); }
    Engine::CubeColorBuffer& EnvironmentCube() { return m_cube; }
    Engine::CubeColorBuffer& AmbientCube() { return m_ambient; }
    uint32_t AmbientSize() const { return m_ambientSize; }

    /// Mips of the environment cube for an image `width` × `height`: one more than the halvings
    /// until both a quarter of the width and a quarter of the height reach 1.
    static uint32_t CubeMipCount(uint32_t width, uint32_t height);
    /// The environment cube's face for an image `width` wide: a quarter of it, at most
    /// kMaxFaceSize and the device's largest cube side.
    static uint32_t FaceSize(uint32_t width, uint32_t maxCubeSide);

private:
    void Replace(Engine::EngineCore& core, const Engine::DecodedTexture& image);

    uint32_t m_ambientSize;
    ComputePass m_sphereToCube;
    ComputePass m_radiance;
    ComputePass m_irradiance;
    std::shared_ptr<Engine::Platform::Resource> m_image;
    Engine::DescriptorHandle m_imageSrv;
    Engine::CubeColorBuffer m_cube;
    Engine::CubeColorBuffer m_ambient;
    uint32_t m_progress = 0;
};

}  // namespace ProjectTavrin
