#pragma once
// Textures loaded from files: the decoders by file type (DDS, TGA, .cube tables, Radiance
// images, and the general image decoders for everything else), creation of the GPU texture,
// its upload and mip chain on a ResourceUploadBatch, and the shader-visible view. Also the
// process-wide blank texture used wherever a material has no texture.
#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "Engine/Platform/Resource.h"
#include "Engine/TextureLoader/AlphaContent.h"
#include "Engine/TextureLoader/DecodedTexture.h"
#include "Engine/TextureLoader/TextureFileType.h"

#include <filesystem>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace Engine {

/// One loaded texture. Empty (no resource, SRV index -1) until loaded; after a load it is in the
/// pixel-shader-resource state once the batch has completed. `alpha` is what its alpha channel
/// holds, found while it was decoded.
struct TextureResource {
    Platform::ResourceState state = Platform::ResourceState::Common;
    AlphaContent alpha = AlphaContent::Opaque;
    DescriptorHandle srv;
    Platform::ResourceDesc description;
    std::shared_ptr<Platform::Resource> resource;
};

/// True when `path` names an existing regular file that can be opened for reading.
bool FileExists(const std::filesystem::path& path);

/// Loads the file at `path` into `texture`, recording the upload on `batch` (open: Begin done
/// by the caller, End and the wait too, after all textures of a model). A missing file logs
/// "Failed to load texture(Case sensitive) : <path>"; a file that cannot be decoded logs
/// "Failed to decode texture : <path>". In both cases the texture becomes the blank texture,
/// so materials always have something to sample.
void LoadTexture(TextureResource& texture, const std::filesystem::path& path, ResourceUploadBatch& batch);

/// Decodes `bytes` with the decoder for `type`, names the texture `name`, and records the
/// upload and mip generation on `batch`. The bytes must stay alive until the batch has ended.
/// Returns false (and leaves the texture empty, its previous resource released) when nothing
/// could be created; LoadTexture then falls back to the blank texture.
bool LoadTextureFromMemory(TextureResource& texture, std::u16string_view name, std::span<const uint8_t> bytes,
                           TextureFileType type, ResourceUploadBatch& batch);

/// A texture file read and decoded on the CPU, on any thread and without the device: what its
/// GPU texture is made from. DDS subresources point into `bytes`, images into the decoded pixels,
/// so the object stays where it was made (it is handed around by shared pointer).
struct DecodedTextureFile {
    enum class Status { Ok, Missing, Undecodable };
    Status status = Status::Missing;
    std::filesystem::path path;
    TextureFileType type = TextureFileType::Other;
    std::vector<uint8_t> bytes;
    DecodedTexture decoded;
    AlphaContent alpha = AlphaContent::Opaque;
};

/// Reads and decodes the file at `path` with the decoder its extension picks; images larger than
/// `maxImageSide` are scaled down to fit, and 8-bit images get their mip chain here
/// (BuildMipChain) rather than on the GPU. Thread-safe; touches no device.
std::shared_ptr<const DecodedTextureFile> DecodeTextureFile(const std::filesystem::path& path, uint32_t maxImageSide);
/// The largest image side the device takes (the `maxImageSide` a load uses).
uint32_t DeviceMaxImageSide();
/// Makes the GPU texture of a decoded file as LoadTexture makes it of a file it reads itself: the
/// upload and mip chain recorded on `batch`, the same messages, the blank texture when the file
/// is missing or cannot be decoded or created (then false).
bool LoadDecodedTexture(TextureResource& texture, const DecodedTextureFile& file, ResourceUploadBatch& batch);

/// The process-wide blank texture "BlankTex" (16 × 16 opaque black), created on first use.
TextureResource& GetBlankTexture();

// The decoders. Each decodes `bytes`, creates the texture in the default heap in the copy-dest
// state, and describes its subresources in `decoded` (which may point into `bytes`).

DecodeResult LoadDDSTextureFromMemory(Platform::Device& device, std::span<const uint8_t> bytes,
                                      std::shared_ptr<Platform::Resource>& texture, DecodedTexture& decoded);
DecodeResult LoadWICTextureFromMemory(Platform::Device& device, std::span<const uint8_t> bytes,
                                      std::shared_ptr<Platform::Resource>& texture, DecodedTexture& decoded);
DecodeResult LoadTGATextureFromMemory(Platform::Device& device, std::span<const uint8_t> bytes,
                                      std::shared_ptr<Platform::Resource>& texture, DecodedTexture& decoded);
DecodeResult LoadHDRTextureFromMemory(Platform::Device& device, std::span<const uint8_t> bytes,
                                      std::shared_ptr<Platform::Resource>& texture, DecodedTexture& decoded);
/// The ".cube" decoder: returns true on failure (nothing created), false on success.
bool LoadCubeLut(Platform::Device& device, std::string_view text, std::shared_ptr<Platform::Resource>& texture,
                 DecodedTexture& decoded);

/// Records the upload of every subresource in `decoded` to `texture` (in the copy-dest state) on
/// `batch`, then the transition to pixel-shader-resource, generating the rest of the mip chain
/// on the way when the texture has more mips than the data. Used by LoadTextureFromMemory and by
/// callers that decode themselves (the sky's Radiance image).
void UploadDecodedTexture(Platform::Resource& texture, const DecodedTexture& decoded, ResourceUploadBatch& batch);

/// Creates the shader-visible view of a loaded texture in a new descriptor of the shader-visible
/// heap: 2D, 2D array (array size above 1) or 3D, all mips. Throws std::runtime_error
/// "unknown resource dimension" for other resources.
DescriptorHandle CreateTextureView(Platform::Resource& texture);

}  // namespace Engine
