#pragma once
// The mip chain of an 8-bit RGBA image built on the CPU, so that a texture decoded on a worker
// thread arrives with every mip and the GPU only copies it. Each mip averages the texels of the
// one above that its texels cover, weighted by overlap (odd sizes keep every texel's share),
// which is the filter the GPU's mip generation uses.
#include "Engine/TextureLoader/DecodedTexture.h"

namespace Engine {

/// Most mips a texture gets (as the GPU path allows).
constexpr uint32_t kMaxMipLevels = 15;

/// Whether BuildMipChain takes `decoded`: a 2D R8G8B8A8_UNORM image of one slice holding only
/// mip 0 with a chain to generate.
bool CanBuildMipChainOnCpu(const DecodedTexture& decoded);

/// Replaces `decoded`'s single mip with the full chain (mip 0 copied into `decoded.pixels`,
/// the rest computed after it; at most kMaxMipLevels) and clears `generateMips`. False, with
/// nothing changed, when CanBuildMipChainOnCpu is false.
bool BuildMipChain(DecodedTexture& decoded);

}  // namespace Engine
