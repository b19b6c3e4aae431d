// Feeds arbitrary bytes to the DDS reader. Every input must be answered with a result code;
// a decoded texture's subresources must lie inside the input, and classifying its alpha (which
// walks the blocks of every slice's top mip) must stay inside them.
#include "Engine/TextureLoader/AlphaContent.h"
#include "Engine/TextureLoader/DDSTextureLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    for (uint32_t maxSize : {0u, 4u}) {
        Engine::DecodedTexture out;
        if (Engine::DecodeDDS(bytes, out, maxSize) != Engine::DecodeResult::Ok) {
            if (!out.subresources.empty()) std::abort();
            continue;
        }
        const Engine::TextureDesc& desc = out.desc;
        if (desc.width == 0 || desc.height == 0 || desc.depthOrArraySize == 0 || desc.mipLevels == 0) std::abort();
        const uint64_t slices = desc.dimension == Engine::TextureDimension::Texture3D ? 1 : desc.depthOrArraySize;
        if (out.subresources.size() != slices * desc.mipLevels) std::abort();
        const uint64_t depth = desc.dimension == Engine::TextureDimension::Texture3D ? desc.depthOrArraySize : 1;
        for (const Engine::DecodedSubresource& s : out.subresources) {
            if (s.data < data || s.data > data + size) std::abort();
            // Mip 0 of a volume holds `depth` slices; smaller mips hold fewer.
            if (static_cast<uint64_t>(data + size - s.data) < s.slicePitch) std::abort();
            if (depth == 1 && s.rowPitch > s.slicePitch) std::abort();
        }
        // Touch the first and last byte of mip 0 of every slice so sanitizers see any overrun.
        volatile uint8_t sink = 0;
        for (const Engine::DecodedSubresource& s : out.subresources)
            if (s.slicePitch > 0) sink = sink + s.data[0] + s.data[s.slicePitch - 1];
        (void)sink;
        const Engine::AlphaContent alpha = Engine::ClassifyDecodedAlpha(out);
        if (alpha != Engine::AlphaContent::Opaque && alpha != Engine::AlphaContent::CutOut &&
            alpha != Engine::AlphaContent::Soft)
            std::abort();
    }
    return 0;
}
