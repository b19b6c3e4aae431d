#pragma once
// The CPU-side result of decoding a texture file: what to create (dimension, size, format, mips)
// and the bytes of each subresource, before anything touches the GPU.
#include "Engine/TextureLoader/DxgiFormat.h"

#include <cstdint>
#include <vector>

namespace Engine {

/// Result codes of the decoders. The values are the HRESULTs the file formats' reference loaders
/// return, so they read the same in logs on every platform.
enum class DecodeResult : int32_t {
    Ok = 0,
    Fail = static_cast<int32_t>(0x80004005),                // E_FAIL
    InvalidArg = static_cast<int32_t>(0x80070057),          // E_INVALIDARG
    OutOfMemory = static_cast<int32_t>(0x8007000E),         // E_OUTOFMEMORY
    NotSupported = static_cast<int32_t>(0x80070032),        // ERROR_NOT_SUPPORTED
    InvalidData = static_cast<int32_t>(0x8007000D),         // ERROR_INVALID_DATA
    EndOfFile = static_cast<int32_t>(0x80070026),           // ERROR_HANDLE_EOF
    ArithmeticOverflow = static_cast<int32_t>(0x80070216),  // ERROR_ARITHMETIC_OVERFLOW
    FileTooLarge = static_cast<int32_t>(0x800700DF),        // ERROR_FILE_TOO_LARGE
};

/// Numbered as the resource dimensions of DDS extended headers.
enum class TextureDimension : uint32_t { Unknown = 0, Buffer = 1, Texture1D = 2, Texture2D = 3, Texture3D = 4 };

/// One subresource's bytes: `rowPitch` bytes per row (per block row for compressed formats) and
/// `slicePitch` bytes per 2D slice (a 3D subresource holds depth slices one after another).
struct DecodedSubresource {
    const uint8_t* data = nullptr;
    uint64_t rowPitch = 0;
    uint64_t slicePitch = 0;
};

/// What to create: a cube map is a 2D texture with `depthOrArraySize` a multiple of 6 and
/// `cube` set.
struct TextureDesc {
    TextureDimension dimension = TextureDimension::Unknown;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depthOrArraySize = 0;
    uint32_t mipLevels = 0;
    DxgiFormat format = DxgiFormat::Unknown;
    bool cube = false;
};

struct DecodedTexture {
    TextureDesc desc;
    /// Every subresource the file holds, array slice by slice and mip by mip inside each slice:
    /// entry (slice × desc.mipLevels + mip).
    std::vector<DecodedSubresource> subresources;
    /// Set when the file holds only mip 0 and the rest of a full chain should be generated on
    /// the GPU where the format allows it.
    bool generateMips = false;
    /// Pixel storage owned by this object. Empty when `subresources` point into the caller's
    /// file bytes (DDS), which must then outlive the upload.
    std::vector<uint8_t> pixels;
    /// Storage of mips made on the CPU below the file's own (BuildMipChain), apart from
    /// `pixels` so that mip 0 stays where the decoder put it.
    std::vector<uint8_t> mipPixels;
};

}  // namespace Engine
