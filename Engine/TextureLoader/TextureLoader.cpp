#include "Engine/TextureLoader/TextureLoader.h"

#include "Engine/EngineCore.h"
#include "Engine/TextureLoader/CubeLut.h"
#include "Engine/TextureLoader/DDSTextureLoader.h"
#include "Engine/TextureLoader/HDRTextureLoader.h"
#include "Engine/TextureLoader/ImageDecoder.h"
#include "Engine/TextureLoader/MipChain.h"
#include "assets/BlankTexture.h"
#include "core/FileIO.h"
#include "core/HrException.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

namespace Engine {

using namespace Platform;

namespace {

ResourceDesc DescFor(const DecodedTexture& decoded) {
    const TextureDesc& d = decoded.desc;
    const Format format = static_cast<Format>(d.format);
    uint32_t mips = d.mipLevels;
    if (decoded.generateMips && mips == 1 && d.dimension == TextureDimension::Texture2D && d.depthOrArraySize == 1 &&
        ResourceUploadBatch::IsMipFormat(format))
        mips = std::min(FullMipCount(d.width, d.height), 15u);
    if (d.dimension == TextureDimension::Texture3D)
        return ResourceDesc::Tex3D(format, d.width, d.height, static_cast<uint16_t>(d.depthOrArraySize), static_cast<uint16_t>(mips));
    // This platform has no 1D textures: a 1D texture is a 2D texture one texel high.
    const uint32_t height = d.dimension == TextureDimension::Texture1D ? 1 : d.height;
    return ResourceDesc::Tex2D(format, d.width, height, static_cast<uint16_t>(d.depthOrArraySize), static_cast<uint16_t>(mips));
}

// Whether the device can hold the decoded texture as described: a format it samples, sides
// within its limits, and subresource layouts that match the platform's copy footprints.
DecodeResult CheckSupport(Device& device, const DecodedTexture& decoded) {
    const TextureDesc& d = decoded.desc;
    const Format format = static_cast<Format>(d.format);
    if (!GetFormatInfo(format).supported || !device.CheckFormatSupport(format, ResourceFlags::None))
        return DecodeResult::NotSupported;
    const DeviceLimits& limits = device.Limits();
    if (d.dimension == TextureDimension::Texture3D) {
        if (std::max({d.width, d.height, d.depthOrArraySize}) > limits.maxImageDimension3D) return DecodeResult::NotSupported;
    } else {
        const uint32_t maxSide = d.cube ? limits.maxImageDimensionCube : limits.maxImageDimension2D;
        if (std::max(d.width, d.height) > maxSide || d.depthOrArraySize > limits.maxImageArrayLayers)
            return DecodeResult::NotSupported;
    }
    const ResourceDesc desc = DescFor(decoded);
    for (size_t i = 0; i < decoded.subresources.size(); ++i) {
        const uint32_t slice = static_cast<uint32_t>(i / d.mipLevels), mip = static_cast<uint32_t>(i % d.mipLevels);
        const SubresourceFootprint fp = device.GetCopyableFootprint(desc, CalcSubresource(mip, slice, desc.mipLevels));
        const DecodedSubresource& s = decoded.subresources[i];
        if (s.rowPitch < fp.rowSizeInBytes || s.slicePitch < s.rowPitch * (fp.numRows - 1) + fp.rowSizeInBytes)
            return DecodeResult::NotSupported;
    }
    return DecodeResult::Ok;
}

DecodeResult CreateTexture(Device& device, const DecodedTexture& decoded, std::shared_ptr<Resource>& texture) {
    const DecodeResult support = CheckSupport(device, decoded);
    if (support != DecodeResult::Ok) return support;
    try {
        texture = device.CreateCommittedResource(HeapType::Default, DescFor(decoded), ResourceState::CopyDest);
    } catch (const HrException& e) {
        texture.reset();
        return static_cast<DecodeResult>(e.Error());
    }
    return DecodeResult::Ok;
}

// Copies rows of `s` into `dst` laid out as `fp`.
void CopyRows(uint8_t* dst, const SubresourceFootprint& fp, const DecodedSubresource& s) {
    const uint64_t dstSlicePitch = uint64_t(fp.rowPitch) * fp.numRows;
    for (uint32_t z = 0; z < fp.depth; ++z)
        for (uint32_t row = 0; row < fp.numRows; ++row)
            std::memcpy(dst + z * dstSlicePitch + uint64_t(row) * fp.rowPitch, s.data + z * s.slicePitch + row * s.rowPitch,
                        fp.rowSizeInBytes);
}

// Every subresource after the first, in one upload buffer.
void UploadRemaining(Resource& texture, const DecodedTexture& decoded, ResourceUploadBatch& batch) {
    Device& device = texture.GetDevice();
    const ResourceDesc& desc = texture.Desc();
    const uint32_t fileMips = decoded.desc.mipLevels;
    uint32_t alignment = 512;
    while (alignment % std::max(1u, GetFormatInfo(desc.format).blockBytes) != 0) alignment += 512;

    std::vector<std::pair<uint32_t, SubresourceFootprint>> footprints;
    uint64_t offset = 0;
    for (size_t i = 1; i < decoded.subresources.size(); ++i) {
        const uint32_t slice = static_cast<uint32_t>(i / fileMips), mip = static_cast<uint32_t>(i % fileMips);
        const uint32_t index = CalcSubresource(mip, slice, desc.mipLevels);
        const SubresourceFootprint fp = device.GetCopyableFootprint(desc, index, offset);
        footprints.emplace_back(index, fp);
        offset = (fp.offset + fp.totalBytes + alignment - 1) / alignment * alignment;
    }
    auto upload = device.CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(offset), ResourceState::GenericRead);
    upload->SetName("Texture upload");
    auto* mapped = static_cast<uint8_t*>(upload->Map());
    for (size_t k = 0; k < footprints.size(); ++k) {
        const auto& [index, fp] = footprints[k];
        CopyRows(mapped + fp.offset, fp, decoded.subresources[k + 1]);
        batch.GetCommandList()->CopyBufferToTexture(texture, index, *upload, fp);
    }
    batch.Track(std::move(upload));
}

// Three-channel float textures are optional on this platform; the same table with an alpha of 1
// samples identically.
void FitCubeLutToDevice(Device& device, DecodedTexture& decoded) {
    if (decoded.desc.format != DxgiFormat::R32G32B32_Float || device.CheckFormatSupport(Format::R32G32B32_FLOAT, ResourceFlags::None))
        return;
    const size_t texels = decoded.pixels.size() / 12;
    std::vector<uint8_t> rgba(texels * 16);
    const float one = 1.0f;
    for (size_t i = 0; i < texels; ++i) {
        std::memcpy(&rgba[i * 16], &decoded.pixels[i * 12], 12);
        std::memcpy(&rgba[i * 16 + 12], &one, 4);
    }
    const uint64_t n = decoded.desc.width;
    decoded.pixels = std::move(rgba);
    decoded.desc.format = DxgiFormat::R32G32B32A32_Float;
    decoded.subresources = {{decoded.pixels.data(), n * 16, n * n * 16}};
}

// The CPU half of a load: the decoder for `type`, no device involved.
DecodeResult DecodeForType(std::span<const uint8_t> bytes, TextureFileType type, uint32_t maxImageSide,
                           DecodedTexture& decoded) {
    switch (type) {
    case TextureFileType::Dds:
        return DecodeDDS(bytes, decoded);
    case TextureFileType::Tga:
        return DecodeTga(bytes, decoded);
    case TextureFileType::Cube:
        return DecodeCubeLut(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), decoded) ==
                       CubeLutStatus::Ok
                   ? DecodeResult::Ok
                   : DecodeResult::InvalidData;
    case TextureFileType::Hdr:
        // Radiance images are environment maps, loaded by the sky; as a material texture they
        // count as undecodable.
        return DecodeResult::NotSupported;
    case TextureFileType::Other:
        return DecodeImage(bytes, decoded, nullptr, maxImageSide);
    }
    return DecodeResult::NotSupported;
}

// The alpha is read from the texels just decoded; image files whose header rules alpha out are
// not looked at.
AlphaContent AlphaOf(std::span<const uint8_t> bytes, TextureFileType type, const DecodedTexture& decoded) {
    const bool mayHaveAlpha = type != TextureFileType::Other || MayHaveAlpha(bytes);
    return mayHaveAlpha ? ClassifyDecodedAlpha(decoded) : AlphaContent::Opaque;
}

uint32_t MaxImageSide(Device& device) { return std::min(kMaxImageSide, device.Limits().maxImageDimension2D); }

// The device half: creates the texture for `decoded` (a DDS file the device refuses is tried once
// more from the largest mip it takes), records its upload and mip chain on `batch` and makes its
// view. False, with `texture` left empty, when nothing could be created.
bool CreateFromDecoded(TextureResource& texture, std::u16string_view name, std::span<const uint8_t> bytes,
                       TextureFileType type, const DecodedTexture& decoded, AlphaContent alpha, ResourceUploadBatch& batch) {
    Device& device = *EngineCore::GetInstance()->GetDevice();
    texture = TextureResource{};
    const DecodedTexture* source = &decoded;
    DecodedTexture adjusted;
    if (type == TextureFileType::Cube && decoded.desc.format == DxgiFormat::R32G32B32_Float &&
        !device.CheckFormatSupport(Format::R32G32B32_FLOAT, ResourceFlags::None)) {
        adjusted = decoded;
        FitCubeLutToDevice(device, adjusted);
        source = &adjusted;
    }
    std::shared_ptr<Resource> created;
    const DecodeResult result = CreateTexture(device, *source, created);
    if (result != DecodeResult::Ok && type == TextureFileType::Dds && decoded.desc.mipLevels > 1) {
        const DeviceLimits& limits = device.Limits();
        const bool volume = decoded.desc.dimension == TextureDimension::Texture3D;
        const uint32_t maxSize = volume ? std::min(kDdsMax3DSide, limits.maxImageDimension3D)
                                        : std::min(kDdsMax2DSide, decoded.desc.cube ? limits.maxImageDimensionCube
                                                                                     : limits.maxImageDimension2D);
        if (DecodeDDS(bytes, adjusted, maxSize) == DecodeResult::Ok && CreateTexture(device, adjusted, created) == DecodeResult::Ok)
            source = &adjusted;
    }
    if (!created) return false;
    created->SetName(name);
    UploadDecodedTexture(*created, *source, batch);
    texture.resource = std::move(created);
    texture.description = texture.resource->Desc();
    texture.state = ResourceState::PixelShaderResource;
    texture.srv = CreateTextureView(*texture.resource);
    texture.alpha = alpha;
    return true;
}

void LogPathMessage(std::u16string_view prefix, const std::filesystem::path& path) {
    std::u16string message(prefix);
    message += Utf8ToUtf16(path.native());
    MessageLog::Instance().Append(message);
}

}  // namespace

bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), R_OK) == 0;
}

DecodeResult LoadDDSTextureFromMemory(Device& device, std::span<const uint8_t> bytes, std::shared_ptr<Resource>& texture,
                                      DecodedTexture& decoded) {
    texture.reset();
    DecodeResult result = DecodeDDS(bytes, decoded);
    if (result != DecodeResult::Ok) return result;
    result = CreateTexture(device, decoded, texture);
    if (result == DecodeResult::Ok || decoded.desc.mipLevels <= 1) return result;

    // Creation failed on a file with a mip chain: retry once from the largest mip the device
    // takes, leaving the bigger ones out.
    const DeviceLimits& limits = device.Limits();
    const bool volume = decoded.desc.dimension == TextureDimension::Texture3D;
    uint32_t maxSize = volume ? std::min(kDdsMax3DSide, limits.maxImageDimension3D)
                              : std::min(kDdsMax2DSide, decoded.desc.cube ? limits.maxImageDimensionCube : limits.maxImageDimension2D);
    result = DecodeDDS(bytes, decoded, maxSize);
    if (result != DecodeResult::Ok) return result;
    return CreateTexture(device, decoded, texture);
}

DecodeResult LoadWICTextureFromMemory(Device& device, std::span<const uint8_t> bytes, std::shared_ptr<Resource>& texture,
                                      DecodedTexture& decoded) {
    texture.reset();
    const DecodeResult result = DecodeImage(bytes, decoded, nullptr, std::min(kMaxImageSide, device.Limits().maxImageDimension2D));
    if (result != DecodeResult::Ok) return result;
    return CreateTexture(device, decoded, texture);
}

DecodeResult LoadTGATextureFromMemory(Device& device, std::span<const uint8_t> bytes, std::shared_ptr<Resource>& texture,
                                      DecodedTexture& decoded) {
    texture.reset();
    const DecodeResult result = DecodeTga(bytes, decoded);
    if (result != DecodeResult::Ok) return result;
    return CreateTexture(device, decoded, texture);
}

DecodeResult LoadHDRTextureFromMemory(Device& device, std::span<const uint8_t> bytes, std::shared_ptr<Resource>& texture,
                                      DecodedTexture& decoded) {
    texture.reset();
    const DecodeResult result = DecodeHdr(bytes, decoded);
    if (result != DecodeResult::Ok) return result;
    return CreateTexture(device, decoded, texture);
}

bool LoadCubeLut(Device& device, std::string_view text, std::shared_ptr<Resource>& texture, DecodedTexture& decoded) {
    texture.reset();
    if (DecodeCubeLut(text, decoded) != CubeLutStatus::Ok) return true;
    FitCubeLutToDevice(device, decoded);
    return CreateTexture(device, decoded, texture) != DecodeResult::Ok;
}

void UploadDecodedTexture(Resource& texture, const DecodedTexture& decoded, ResourceUploadBatch& batch) {
    // The copies below read the texture after this function returns: keep it alive until the
    // batch has finished, whatever its owner does meanwhile.
    batch.Track(texture.shared_from_this());
    const DecodedSubresource& first = decoded.subresources.at(0);
    batch.Upload(&texture, {first.data, static_cast<int64_t>(first.rowPitch), static_cast<int64_t>(first.slicePitch)});
    if (decoded.subresources.size() > 1) UploadRemaining(texture, decoded, batch);
    batch.Transition(&texture, ResourceState::CopyDest, ResourceState::NonPixelShaderResource);
    // A texture without unordered access gets its chain through a staging copy, which leaves it
    // in the pixel-shader-resource state; when nothing was generated, finish the move here.
    const uint32_t chainsBefore = batch.GeneratedMipChains();
    if (texture.Desc().mipLevels > decoded.desc.mipLevels) batch.GenerateMips(&texture);
    if (batch.GeneratedMipChains() == chainsBefore)
        batch.Transition(&texture, ResourceState::NonPixelShaderResource, ResourceState::PixelShaderResource);
}

DescriptorHandle CreateTextureView(Resource& texture) {
    const ResourceDesc& desc = texture.Desc();
    SrvDesc srv;
    srv.format = desc.format;
    srv.mipLevels = desc.mipLevels == 0 ? 0xffffffffu : desc.mipLevels;
    if (desc.dimension == ResourceDimension::Texture2D) {
        if (desc.depthOrArraySize > 1) {
            srv.dimension = ViewDimension::Texture2DArray;
            srv.arraySize = desc.depthOrArraySize;
        } else {
            srv.dimension = ViewDimension::Texture2D;
        }
    } else if (desc.dimension == ResourceDimension::Texture3D) {
        srv.dimension = ViewDimension::Texture3D;
    } else {
        throw std::runtime_error("unknown resource dimension");
    }
    const DescriptorHandle handle = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    texture.GetDevice().CreateShaderResourceView(&texture, &srv, handle.Cpu());
    return handle;
}

bool LoadTextureFromMemory(TextureResource& texture, std::u16string_view name, std::span<const uint8_t> bytes,
                           TextureFileType type, ResourceUploadBatch& batch) {
    Device& device = *EngineCore::GetInstance()->GetDevice();
    texture = TextureResource{};
    DecodedTexture decoded;
    if (DecodeForType(bytes, type, MaxImageSide(device), decoded) != DecodeResult::Ok) return false;
    return CreateFromDecoded(texture, name, bytes, type, decoded, AlphaOf(bytes, type, decoded), batch);
}

std::shared_ptr<const DecodedTextureFile> DecodeTextureFile(const std::filesystem::path& path, uint32_t maxImageSide) {
    auto file = std::make_shared<DecodedTextureFile>();
    file->path = path;
    file->type = GetTextureFileType(path.native());
    if (!FileExists(path)) {
        file->status = DecodedTextureFile::Status::Missing;
        return file;
    }
    file->bytes = ReadWholeFile(path);
    const bool decoded = DecodeForType(file->bytes, file->type, maxImageSide, file->decoded) == DecodeResult::Ok;
    file->status = decoded ? DecodedTextureFile::Status::Ok : DecodedTextureFile::Status::Undecodable;
    if (!decoded) return file;
    file->alpha = AlphaOf(file->bytes, file->type, file->decoded);
    // The mip chain is made here too, so the GPU only copies: no staging texture, no compute
    // pass per texture while the scene loads.
    BuildMipChain(file->decoded);
    return file;
}

uint32_t DeviceMaxImageSide() { return MaxImageSide(*EngineCore::GetInstance()->GetDevice()); }

bool LoadDecodedTexture(TextureResource& texture, const DecodedTextureFile& file, ResourceUploadBatch& batch) {
    if (file.status == DecodedTextureFile::Status::Missing) {
        LogPathMessage(u"Failed to load texture(Case sensitive) : ", file.path);
        texture = GetBlankTexture();
        return false;
    }
    if (file.status != DecodedTextureFile::Status::Ok ||
        !CreateFromDecoded(texture, Utf8ToUtf16(file.path.native()), file.bytes, file.type, file.decoded, file.alpha, batch)) {
        LogPathMessage(u"Failed to decode texture : ", file.path);
        texture = GetBlankTexture();
        return false;
    }
    return true;
}

void LoadTexture(TextureResource& texture, const std::filesystem::path& path, ResourceUploadBatch& batch) {
    LoadDecodedTexture(texture, *DecodeTextureFile(path, DeviceMaxImageSide()), batch);
}

TextureResource& GetBlankTexture() {
    // Never destroyed: it lives until the process ends, and releasing GPU objects from an exit
    // handler could run after the driver has already shut down.
    static std::mutex lock;
    static TextureResource& blank = *new TextureResource;
    std::lock_guard<std::mutex> guard(lock);
    if (blank.srv.IsNull()) {
        EngineCore& core = *EngineCore::GetInstance();
        ResourceUploadBatch batch(core.GetDeviceShared());
        batch.Begin();
        DecodedTexture decoded;
        std::shared_ptr<Resource> created;
        const DecodeResult result = LoadWICTextureFromMemory(
            *core.GetDevice(), std::span<const uint8_t>(Assets::kBlankTexturePng, Assets::kBlankTexturePngSize), created, decoded);
        if (result != DecodeResult::Ok) throw HrException(static_cast<int32_t>(result));
        created->SetName(u"BlankTex");
        UploadDecodedTexture(*created, decoded, batch);
        batch.End(*core.GetDevice()).wait();
        blank.resource = std::move(created);
        blank.description = blank.resource->Desc();
        blank.state = ResourceState::PixelShaderResource;
        blank.srv = CreateTextureView(*blank.resource);
    }
    return blank;
}

}  // namespace Engine
