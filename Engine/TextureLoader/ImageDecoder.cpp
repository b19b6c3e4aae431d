#include "Engine/TextureLoader/ImageDecoder.h"

#include "Engine/TextureLoader/StbImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace Engine {
namespace {

// For one axis: which source texels each target texel covers and with what weight.
struct AxisWeights {
    std::vector<uint32_t> first;   // first source index per target index
    std::vector<uint32_t> offset;  // start of the target's weights in `weights`
    std::vector<float> weights;
};

AxisWeights ComputeAxisWeights(uint32_t srcSize, uint32_t dstSize) {
    AxisWeights axis;
    axis.first.resize(dstSize);
    axis.offset.resize(dstSize + 1);
    const double scale = static_cast<double>(srcSize) / dstSize;
    for (uint32_t i = 0; i < dstSize; ++i) {
        const double begin = i * scale;
        const double end = std::min<double>((i + 1) * scale, srcSize);
        const uint32_t firstTexel = static_cast<uint32_t>(begin);
        axis.first[i] = firstTexel;
        axis.offset[i] = static_cast<uint32_t>(axis.weights.size());
        double total = 0.0;
        const size_t start = axis.weights.size();
        for (uint32_t s = firstTexel; s < srcSize && s < end; ++s) {
            const double covered = std::min<double>(s + 1, end) - std::max<double>(s, begin);
            if (covered <= 0.0) break;
            axis.weights.push_back(static_cast<float>(covered));
            total += covered;
        }
        if (axis.weights.size() == start) {  // degenerate rounding at the far edge
            axis.first[i] = std::min(firstTexel, srcSize - 1);
            axis.weights.push_back(1.0f);
            total = 1.0;
        }
        for (size_t k = start; k < axis.weights.size(); ++k) axis.weights[k] = static_cast<float>(axis.weights[k] / total);
    }
    axis.offset[dstSize] = static_cast<uint32_t>(axis.weights.size());
    return axis;
}

void ResampleRow(const uint8_t* srcRow, const AxisWeights& axis, uint32_t dstWidth, float* out) {
    for (uint32_t x = 0; x < dstWidth; ++x) {
        float acc[4] = {0, 0, 0, 0};
        const uint8_t* texel = srcRow + static_cast<size_t>(axis.first[x]) * 4;
        for (uint32_t k = axis.offset[x]; k < axis.offset[x + 1]; ++k, texel += 4) {
            const float w = axis.weights[k];
            acc[0] += w * texel[0];
            acc[1] += w * texel[1];
            acc[2] += w * texel[2];
            acc[3] += w * texel[3];
        }
        std::memcpy(out + static_cast<size_t>(x) * 4, acc, sizeof(acc));
    }
}

DecodeResult FinishRgba8(StbPixels pixels, int width, int height, uint32_t maxSide, DecodedTexture& out,
                         const char** failure) {
    if (width <= 0 || height <= 0) {
        if (failure) *failure = "empty image";
        return DecodeResult::Fail;
    }
    uint32_t targetWidth = 0, targetHeight = 0;
    FitImageSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height), maxSide, targetWidth, targetHeight);
    const uint64_t rowPitch = uint64_t(targetWidth) * 4;
    const uint64_t imageSize = rowPitch * targetHeight;
    if (imageSize >= 0xFFFFFFFFull) {
        if (failure) *failure = "image too large";
        return DecodeResult::ArithmeticOverflow;
    }
    out.pixels.resize(imageSize);
    if (targetWidth == static_cast<uint32_t>(width) && targetHeight == static_cast<uint32_t>(height)) {
        std::memcpy(out.pixels.data(), pixels.get(), imageSize);
    } else {
        ResampleRgba8(pixels.get(), width, height, out.pixels.data(), targetWidth, targetHeight);
    }
    out.desc.dimension = TextureDimension::Texture2D;
    out.desc.width = targetWidth;
    out.desc.height = targetHeight;
    out.desc.depthOrArraySize = 1;
    out.desc.mipLevels = 1;
    out.desc.format = DxgiFormat::R8G8B8A8_Unorm;
    out.generateMips = true;
    out.subresources = {{out.pixels.data(), rowPitch, imageSize}};
    return DecodeResult::Ok;
}

}  // namespace

void FitImageSize(uint32_t width, uint32_t height, uint32_t maxSide, uint32_t& outWidth, uint32_t& outHeight) {
    outWidth = width;
    outHeight = height;
    if (width <= maxSide && height <= maxSide) return;
    // Ratios in single precision, as the sizes of images scaled on other platforms come out.
    const float ratio = static_cast<float>(height) / static_cast<float>(width);
    if (height < width) {
        outWidth = maxSide;
        outHeight = std::max(1u, static_cast<uint32_t>(ratio * static_cast<float>(maxSide)));
    } else {
        outWidth = std::max(1u, static_cast<uint32_t>(static_cast<float>(maxSide) / ratio));
        outHeight = maxSide;
    }
}

void ResampleRgba8(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst, uint32_t dstWidth,
                   uint32_t dstHeight) {
    const AxisWeights columns = ComputeAxisWeights(srcWidth, dstWidth);
    const AxisWeights rows = ComputeAxisWeights(srcHeight, dstHeight);
    std::vector<float> accumulated(static_cast<size_t>(dstWidth) * 4);
    std::vector<float> rowBuffer(static_cast<size_t>(dstWidth) * 4);
    // A source row on the border of two target rows is needed twice in a row: keep it.
    uint32_t cachedRow = UINT32_MAX;
    const size_t srcPitch = static_cast<size_t>(srcWidth) * 4;

    for (uint32_t y = 0; y < dstHeight; ++y) {
        std::fill(accumulated.begin(), accumulated.end(), 0.0f);
        uint32_t srcRow = rows.first[y];
        for (uint32_t k = rows.offset[y]; k < rows.offset[y + 1]; ++k, ++srcRow) {
            if (srcRow != cachedRow) {
                ResampleRow(src + srcRow * srcPitch, columns, dstWidth, rowBuffer.data());
                cachedRow = srcRow;
            }
            const float w = rows.weights[k];
            for (size_t i = 0; i < accumulated.size(); ++i) accumulated[i] += w * rowBuffer[i];
        }
        uint8_t* out = dst + static_cast<size_t>(y) * dstWidth * 4;
        for (size_t i = 0; i < accumulated.size(); ++i)
            out[i] = static_cast<uint8_t>(std::clamp(std::lround(accumulated[i]), 0L, 255L));
    }
}

DecodeResult DecodeImage(std::span<const uint8_t> bytes, DecodedTexture& out, const char** failure, uint32_t maxSide) {
    out = DecodedTexture{};
    if (failure) *failure = nullptr;
    if (bytes.empty()) return DecodeResult::Fail;
    if (bytes.size() > 0xFFFFFFFFull) return DecodeResult::FileTooLarge;
    int width = 0, height = 0;
    const char* reason = nullptr;
    StbPixels pixels = StbLoadRgba(bytes, StbDecoder::AnyImage, width, height, reason);
    if (!pixels) {
        if (failure) *failure = reason;
        // The data size is fine here, so the decoder could not read the image at all.
        return bytes.size() > static_cast<size_t>(INT32_MAX) ? DecodeResult::FileTooLarge : DecodeResult::NotSupported;
    }
    const DecodeResult result = FinishRgba8(std::move(pixels), width, height, maxSide, out, failure);
    if (result != DecodeResult::Ok) out = DecodedTexture{};
    return result;
}

DecodeResult DecodeTga(std::span<const uint8_t> bytes, DecodedTexture& out, const char** failure) {
    out = DecodedTexture{};
    if (failure) *failure = nullptr;
    if (bytes.empty()) return DecodeResult::Fail;
    int width = 0, height = 0;
    const char* reason = nullptr;
    StbPixels pixels = StbLoadRgba(bytes, StbDecoder::TgaOnly, width, height, reason);
    if (!pixels) {
        if (failure) *failure = reason;
        return DecodeResult::Fail;
    }
    if (static_cast<uint32_t>(width) > kMaxImageSide || static_cast<uint32_t>(height) > kMaxImageSide) {
        if (failure) *failure = "image too large";
        return DecodeResult::NotSupported;
    }
    const DecodeResult result = FinishRgba8(std::move(pixels), width, height, kMaxImageSide, out, failure);
    if (result != DecodeResult::Ok) out = DecodedTexture{};
    return result;
}

}  // namespace Engine
