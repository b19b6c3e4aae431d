#pragma once
// The alpha of the 16 texels of one compressed 4 x 4 block, row by row, as 8-bit values.
#include <cstdint>

namespace Engine {

/// 8 bytes: 255, or 0 where a block in its three-colour mode picks index 3.
void Bc1BlockAlpha(const uint8_t* block, uint8_t alpha[16]);
/// 16 bytes, the first 8 of which hold explicit 4-bit alphas.
void Bc2BlockAlpha(const uint8_t* block, uint8_t alpha[16]);
/// 16 bytes, the first 8 of which hold two endpoints and 3-bit indices into their palette.
void Bc3BlockAlpha(const uint8_t* block, uint8_t alpha[16]);

/// 16 bytes, every mode. Mode 7 (two subsets, alpha in both) is not split into its subsets
/// here: its texels take the values the subsets can reach, the one nearest half first (so a
/// block that can reach a soft value reads soft throughout), else a transparent one in the first
/// texel. Reserved blocks decode to 0.
void Bc7BlockAlpha(const uint8_t* block, uint8_t alpha[16]);

}  // namespace Engine
