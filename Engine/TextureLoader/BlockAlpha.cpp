#include "Engine/TextureLoader/BlockAlpha.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Engine {
namespace {

uint64_t Load64(const uint8_t* bytes) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | bytes[i];
    return v;
}

// Reads a BC7 block's fields from its lowest bit up.
class BlockBits {
public:
    explicit BlockBits(const uint8_t* block) : m_low(Load64(block)), m_high(Load64(block + 8)) {}
    /// The next `count` bits (at most 32) as a number, first bit lowest.
    uint32_t Take(uint32_t count) {
        uint32_t value = 0;
        for (uint32_t i = 0; i < count; ++i, ++m_at) {
            const uint64_t bit = m_at < 64 ? (m_low >> m_at) & 1 : (m_high >> (m_at - 64)) & 1;
            value |= static_cast<uint32_t>(bit) << i;
        }
        return value;
    }
    /// Passes over fields that do not matter here, of any length.
    void Skip(uint32_t count) { m_at += count; }
    /// 16 indices of `bits` bits; the first texel's top bit is implied zero.
    void TakeIndices(uint32_t bits, uint8_t out[16]) {
        for (int i = 0; i < 16; ++i) out[i] = static_cast<uint8_t>(Take(i == 0 ? bits - 1 : bits));
    }

private:
    uint64_t m_low, m_high;
    uint32_t m_at = 0;
};

constexpr uint8_t kWeights2[4] = {0, 21, 43, 64};
constexpr uint8_t kWeights3[8] = {0, 9, 18, 27, 37, 46, 55, 64};
constexpr uint8_t kWeights4[16] = {0, 4, 9, 13, 17, 21, 26, 30, 34, 38, 43, 47, 51, 55, 60, 64};

const uint8_t* WeightsFor(uint32_t bits) { return bits == 2 ? kWeights2 : bits == 3 ? kWeights3 : kWeights4; }

uint8_t Interpolate(uint32_t e0, uint32_t e1, uint32_t weight) {
    return static_cast<uint8_t>(((64 - weight) * e0 + weight * e1 + 32) >> 6);
}

// An endpoint of `bits` bits widened to 8 by repeating its top bits.
uint32_t Widen(uint32_t value, uint32_t bits) { return bits >= 8 ? value : (value << (8 - bits)) | (value >> (2 * bits - 8)); }

// Modes 4 and 5: colour and alpha have their own endpoints and indices; `rotation` swaps alpha
// with red, green or blue, so the alpha read back is then that colour channel.
void SeparateAlphaMode(BlockBits& bits, uint32_t mode, uint8_t alpha[16]) {
    const uint32_t rotation = bits.Take(2);
    const uint32_t indexMode = mode == 4 ? bits.Take(1) : 0;
    const uint32_t colorBits = mode == 4 ? 5 : 7, alphaBits = mode == 4 ? 6 : 8;
    uint32_t color[3][2];
    for (auto& channel : color)
        for (uint32_t& e : channel) e = Widen(bits.Take(colorBits), colorBits);
    uint32_t a[2];
    for (uint32_t& e : a) e = Widen(bits.Take(alphaBits), alphaBits);
    // Mode 4 stores a 2-bit and a 3-bit index set; its index mode says which one colour uses.
    const uint32_t firstSetBits = 2, secondSetBits = mode == 4 ? 3 : 2;
    uint8_t first[16], second[16];
    bits.TakeIndices(firstSetBits, first);
    bits.TakeIndices(secondSetBits, second);
    const bool swapSets = mode == 4 && indexMode == 1;
    const uint8_t* colorIndex = swapSets ? second : first;
    const uint8_t* alphaIndex = swapSets ? first : second;
    const uint32_t colorIndexBits = swapSets ? secondSetBits : firstSetBits;
    const uint32_t alphaIndexBits = swapSets ? firstSetBits : secondSetBits;
    for (int i = 0; i < 16; ++i) {
        if (rotation == 0) alpha[i] = Interpolate(a[0], a[1], WeightsFor(alphaIndexBits)[alphaIndex[i]]);
        else {
            const uint32_t* c = color[rotation - 1];
            alpha[i] = Interpolate(c[0], c[1], WeightsFor(colorIndexBits)[colorIndex[i]]);
        }
    }
}

void Mode6(BlockBits& bits, uint8_t alpha[16]) {
    uint32_t endpoints[4][2];
    for (auto& channel : endpoints)
        for (uint32_t& e : channel) e = bits.Take(7);
    const uint32_t p0 = bits.Take(1), p1 = bits.Take(1);
    const uint32_t a0 = (endpoints[3][0] << 1) | p0, a1 = (endpoints[3][1] << 1) | p1;
    uint8_t index[16];
    bits.TakeIndices(4, index);
    for (int i = 0; i < 16; ++i) alpha[i] = Interpolate(a0, a1, kWeights4[index[i]]);
}

void Mode7(BlockBits& bits, uint8_t alpha[16]) {
    bits.Skip(6);          // partition
    bits.Skip(3 * 4 * 5);  // red, green and blue of the four endpoints
    uint32_t a[4];
    for (uint32_t& e : a) e = bits.Take(5);
    for (uint32_t& e : a) e = Widen((e << 1) | bits.Take(1), 6);
    uint8_t softest = 255, lowest = 255;
    for (int subset = 0; subset < 2; ++subset)
        for (uint8_t w : kWeights2) {
            const uint8_t v = Interpolate(a[subset * 2], a[subset * 2 + 1], w);
            if (std::abs(int(v) - 128) < std::abs(int(softest) - 128)) softest = v;
            lowest = std::min(lowest, v);
        }
    std::memset(alpha, softest, 16);
    alpha[0] = std::min(softest, lowest);
}

}  // namespace

void Bc1BlockAlpha(const uint8_t* block, uint8_t alpha[16]) {
    const uint32_t c0 = block[0] | (block[1] << 8), c1 = block[2] | (block[3] << 8);
    const uint32_t indices = block[4] | (block[5] << 8) | (block[6] << 16) | (uint32_t(block[7]) << 24);
    for (int i = 0; i < 16; ++i) alpha[i] = c0 <= c1 && ((indices >> (2 * i)) & 3) == 3 ? 0 : 255;
}

void Bc2BlockAlpha(const uint8_t* block, uint8_t alpha[16]) {
    const uint64_t bits = Load64(block);
    for (int i = 0; i < 16; ++i) alpha[i] = static_cast<uint8_t>(((bits >> (4 * i)) & 15) * 17);
}

void Bc3BlockAlpha(const uint8_t* block, uint8_t alpha[16]) {
    const uint32_t a0 = block[0], a1 = block[1];
    uint8_t palette[8] = {uint8_t(a0), uint8_t(a1)};
    if (a0 > a1) {
        for (uint32_t k = 1; k < 7; ++k) palette[k + 1] = uint8_t(((7 - k) * a0 + k * a1 + 3) / 7);
    } else {
        for (uint32_t k = 1; k < 5; ++k) palette[k + 1] = uint8_t(((5 - k) * a0 + k * a1 + 2) / 5);
        palette[6] = 0;
        palette[7] = 255;
    }
    const uint64_t indices = Load64(block) >> 16;
    for (int i = 0; i < 16; ++i) alpha[i] = palette[(indices >> (3 * i)) & 7];
}

void Bc7BlockAlpha(const uint8_t* block, uint8_t alpha[16]) {
    uint32_t mode = 0;
    while (mode < 8 && !(block[0] & (1u << mode))) ++mode;
    if (mode == 8) {
        std::memset(alpha, 0, 16);
        return;
    }
    BlockBits bits(block);
    bits.Take(mode + 1);
    switch (mode) {
    case 4:
    case 5: SeparateAlphaMode(bits, mode, alpha); break;
    case 6: Mode6(bits, alpha); break;
    case 7: Mode7(bits, alpha); break;
    default: std::memset(alpha, 255, 16); break;  // modes 0 to 3 hold colour only
    }
}

}  // namespace Engine
