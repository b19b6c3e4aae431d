#include "renderer/passes/EnvironmentMaps.h"

#include <algorithm>
#include <vector>

#include "CompiledShaders.h"
#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "Engine/TextureLoader/HDRTextureLoader.h"
#include "Engine/TextureLoader/TextureLoader.h"
#include "assets/SampleEnvironment.h"
#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/SkyConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

constexpr std::string_view kSampleName = "<Sample>";
constexpr ResourceState kShaderRead = ResourceState::NonPixelShaderResource | ResourceState::PixelShaderResource;

uint32_t HalvingsToOne(uint32_t size) {
    uint32_t halvings = 0;
    while (size > 1) {
        size /= 2;
        ++halvings;
    }
    return halvings;
}

}  // namespace

EnvironmentMaps::EnvironmentMaps(Device& device, uint32_t ambientSize)
    : m_ambientSize(std::max(ambientSize, 1u << (kAmbientMips - 1))),
      m_sphereToCube(device, Engine::Shaders::SphereToCube_comp(), Engine::ShaderLayouts::SphereToCube(), "SphereToCube"),
      m_radiance(device, Engine::Shaders::GenerateRadiance_comp(), Engine::ShaderLayouts::CubeLighting(), "GenerateRadiance"),
      m_irradiance(device, Engine::Shaders::GenerateIrradiance_comp(), Engine::ShaderLayouts::CubeLighting(),
                   "GenerateIrradiance") {}

EnvironmentMaps::~EnvironmentMaps() = default;

uint32_t EnvironmentMaps::CubeMipCount(uint32_t width, uint32_t height) {
    const uint32_t face = std::max(width / 4, 1u);
    const uint32_t mips = 1 + std::max(HalvingsToOne(face), HalvingsToOne(std::max(height / 4, 1u)));
    // A square face cannot have more mips than its own side gives.
    return std::min({mips, 1 + HalvingsToOne(face), Engine::CubeColorBuffer::kMaxMips});
}

bool EnvironmentMaps::Load(Engine::EngineCore& core, const std::string& file) {
    std::vector<uint8_t> bytes;
    std::span<const uint8_t> data;
    if (file == kSampleName) {
        data = std::span<const uint8_t>(Assets::kSampleEnvironmentHdr, Assets::kSampleEnvironmentHdrSize);
    } else if (Engine::FileExists(file)) {
        bytes = ReadWholeFile(file);
        data = bytes;
    }
    Engine::DecodedTexture image;
    // A face needs four columns; the decoder has logged what it found wrong with the file.
    const bool decoded = !data.empty() && Engine::DecodeHdr(data, image) == Engine::DecodeResult::Ok &&
                         image.desc.width >= 4 && image.desc.height >= 1;
    if (!decoded) {
        MessageLog::Instance().Append(u"Failed to load environment : " + Utf8ToUtf16(file));
        return false;
    }
    Load(core, image);
    return true;
}

void EnvironmentMaps::Load(Engine::EngineCore& core, const Engine::DecodedTexture& image) {
    try {
        Replace(core, image);
    } catch (...) {
        // Half-replaced textures are no sky: drawing stops until a load succeeds.
        Unload();
        throw;
    }
}

uint32_t EnvironmentMaps::FaceSize(uint32_t width, uint32_t maxCubeSide) {
    return std::clamp(width / 4, 1u, std::min(kMaxFaceSize, std::max(maxCubeSide, 1u)));
}

void EnvironmentMaps::Replace(Engine::EngineCore& core, const Engine::DecodedTexture& image) {
    Device& device = *core.GetDevice();
    const uint32_t width = image.desc.width, height = image.desc.height;
    const Format format = static_cast<Format>(image.desc.format);
    const uint32_t faceSize = FaceSize(width, device.Limits().maxImageDimensionCube);
    auto texture = device.CreateCommittedResource(HeapType::Default, ResourceDesc::Tex2D(format, width, height), ResourceState::CopyDest);
    texture->SetName(u"EnvironmentMap");

    Engine::ResourceUploadBatch batch(core.GetDeviceShared());
    batch.Begin();
    Engine::UploadDecodedTexture(*texture, image, batch);
    batch.Transition(texture.get(), ResourceState::PixelShaderResource, kShaderRead);
    m_image = std::move(texture);
    SrvDesc srv;
    srv.dimension = ViewDimension::Texture2D;
    srv.format = format;
    if (m_imageSrv.IsNull()) m_imageSrv = Engine::AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    device.CreateShaderResourceView(m_image.get(), &srv, m_imageSrv.Cpu());

    // The image into the cube's first mip, then the cube's mip chain.
    m_cube.Create(u"m_environmentCubeMap", faceSize, std::min(CubeMipCount(width, height), CubeMipCount(faceSize * 4, faceSize * 4)),
                  format);
    CommandList& list = *batch.GetCommandList();
    list.SetDescriptorHeaps(core.GetHeap(DescriptorHeapType::CbvSrvUav));
    m_cube.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::SphereToCubeConstants toCube{};
    toCube.image = m_imageSrv.Gpu();
    toCube.target = m_cube.uavHandles[0].Gpu();
    toCube.faceSize = faceSize;
    m_sphereToCube.Bind(list, toCube);
    list.Dispatch(GroupCount(faceSize, 16), GroupCount(faceSize, 16), 6);
    m_cube.TransitionTo(list, ResourceState::NonPixelShaderResource);
    batch.GenerateMips(m_cube.GetResource(), format);

    // A fresh lighting cube, cleared so that a texel no sample has reached yet reads black.
    m_ambient.Create(u"AmbientCubemap", m_ambientSize, kAmbientMips, Format::R32G32B32A32_FLOAT);
    m_ambient.TransitionTo(list, ResourceState::UnorderedAccess);
    const float zero[4] = {0, 0, 0, 0};
    list.ClearUnorderedAccessViewFloat(*m_ambient.GetResource(), zero);
    m_ambient.TransitionTo(list, kShaderRead);
    batch.End(device).wait();
    m_progress = 0;
}

void EnvironmentMaps::Unload() {
    m_image.reset();
    m_progress = 0;
}

void EnvironmentMaps::Accumulate(CommandList& list) {
    if (!AccumulationPending()) return;
    m_ambient.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::CubeLightingConstants c{};
    c.environment = m_cube.srvHandle.Gpu();
    c.environmentSize = float(m_cube.Size());
    c.progress = m_progress;
    // Mip 0 is the mirror: one step makes it exact, later ones would only repeat it.
    for (uint32_t mip = m_progress == 0 ? 0 : 1; mip < kAmbientMips - 1; ++mip) {
        const uint32_t size = m_ambientSize >> mip;
        c.target = m_ambient.uavHandles[mip].Gpu();
        c.faceSize = size;
        c.roughness = float(mip) / float(kAmbientMips - 2);
        c.sampleCount = kRadianceSamplesPerStep;
        m_radiance.Bind(list, c);
        list.Dispatch(GroupCount(size, 8), GroupCount(size, 8), 6);
    }
    if (m_progress < kIrradianceSteps) {
        const uint32_t size = m_ambientSize >> (kAmbientMips - 1);
        c.target = m_ambient.uavHandles[kAmbientMips - 1].Gpu();
        c.faceSize = size;
        c.roughness = 1.0f;
        c.sampleCount = kIrradianceSamplesPerStep;
        m_irradiance.Bind(list, c);
        list.Dispatch(GroupCount(size, 8), GroupCount(size, 8), 6);
    }
    m_ambient.TransitionTo(list, kShaderRead);
    ++m_progress;
}

}  // namespace ProjectTavrin
