#include "Engine/TextureLoader/MipChain.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Engine {
namespace {

// One mip from the one above: `src` is sw x sh texels, `dst` dw x dh. Power-of-two halving is
// the plain 2 x 2 average; other ratios weigh each covered texel by its overlap.
void Downsample(const uint8_t* src, uint32_t sw, uint32_t sh, uint8_t* dst, uint32_t dw, uint32_t dh) {
    if (sw == dw * 2 && sh == dh * 2) {
        for (uint32_t y = 0; y < dh; ++y) {
            const uint8_t* a = src + static_cast<size_t>(2 * y) * sw * 4;
            const uint8_t* b = a + static_cast<size_t>(sw) * 4;
            uint8_t* out = dst + static_cast<size_t>(y) * dw * 4;
            for (uint32_t x = 0; x < dw; ++x, a += 8, b += 8, out += 4)
                for (int c = 0; c < 4; ++c)
                    out[c] = static_cast<uint8_t>((a[c] + a[c + 4] + b[c] + b[c + 4] + 2) / 4);
        }
        return;
    }
    const float rx = float(sw) / float(dw), ry = float(sh) / float(dh);
    for (uint32_t y = 0; y < dh; ++y) {
        const float loY = float(y) * ry, hiY = loY + ry;
        for (uint32_t x = 0; x < dw; ++x) {
            const float loX = float(x) * rx, hiX = loX + rx;
            float sum[4] = {0, 0, 0, 0}, weights = 0;
            for (int sy = int(std::floor(loY)); sy < int(std::ceil(hiY)) && sy < int(sh); ++sy) {
                const float wy = std::min(hiY, float(sy + 1)) - std::max(loY, float(sy));
                for (int sx = int(std::floor(loX)); sx < int(std::ceil(hiX)) && sx < int(sw); ++sx) {
                    const float w = wy * (std::min(hiX, float(sx + 1)) - std::max(loX, float(sx)));
                    const uint8_t* p = src + (static_cast<size_t>(sy) * sw + static_cast<size_t>(sx)) * 4;
                    for (int c = 0; c < 4; ++c) sum[c] += w * float(p[c]);
                    weights += w;
                }
            }
            uint8_t* out = dst + (static_cast<size_t>(y) * dw + x) * 4;
            for (int c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>(std::clamp(sum[c] / weights + 0.5f, 0.0f, 255.0f));
        }
    }
}

}  // namespace

bool CanBuildMipChainOnCpu(const DecodedTexture& decoded) {
    const TextureDesc& d = decoded.desc;
    return decoded.generateMips && d.mipLevels == 1 && d.dimension == TextureDimension::Texture2D && d.depthOrArraySize == 1 &&
           !d.cube && d.format == DxgiFormat::R8G8B8A8_Unorm && d.width > 0 && d.height > 0 &&
           decoded.subresources.size() == 1 && decoded.subresources[0].data != nullptr;
}

bool BuildMipChain(DecodedTexture& decoded) {
    if (!CanBuildMipChainOnCpu(decoded)) return false;
    TextureDesc& d = decoded.desc;
    const uint32_t mips = std::min(FullMipCount(d.width, d.height), kMaxMipLevels);
    // Mip 0 stays in place when the decoder left it packed in `pixels`; otherwise (rows padded,
    // or bytes of the file) it is copied there first.
    const DecodedSubresource& top = decoded.subresources[0];
    const size_t topBytes = static_cast<size_t>(d.width) * d.height * 4;
    if (top.data != decoded.pixels.data() || top.rowPitch != uint64_t(d.width) * 4 || decoded.pixels.size() < topBytes) {
        std::vector<uint8_t> packed(topBytes);
        for (uint32_t y = 0; y < d.height; ++y)
            std::memcpy(packed.data() + static_cast<size_t>(y) * d.width * 4, top.data + y * top.rowPitch, static_cast<size_t>(d.width) * 4);
        decoded.pixels = std::move(packed);
    }
    std::vector<size_t> offsets{0};
    size_t total = 0;
    for (uint32_t m = 1, w = d.width, h = d.height; m < mips; ++m) {
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
        offsets.push_back(total);
        total += static_cast<size_t>(w) * h * 4;
    }
    decoded.mipPixels.assign(total, 0);
    std::vector<DecodedSubresource> subresources{{decoded.pixels.data(), uint64_t(d.width) * 4, uint64_t(topBytes)}};
    for (uint32_t m = 1, w = d.width, h = d.height; m < mips; ++m) {
        const uint32_t nw = std::max(1u, w / 2), nh = std::max(1u, h / 2);
        uint8_t* target = decoded.mipPixels.data() + offsets[m];
        Downsample(subresources.back().data, w, h, target, nw, nh);
        subresources.push_back({target, uint64_t(nw) * 4, uint64_t(nw) * nh * 4});
        w = nw;
        h = nh;
    }
    decoded.subresources = std::move(subresources);
    d.mipLevels = mips;
    decoded.generateMips = false;
    return true;
}

}  // namespace Engine
