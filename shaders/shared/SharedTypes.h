// Types for blocks that C++ and GLSL both read. Each shared header describes its block once with
// these names; C++ sees plain structs in ProjectTavrin::Shared (checked with static_assert), GLSL
// sees structs it can place in scalar-layout buffers and push-constant blocks.
#ifndef TAVRIN_SHARED_TYPES_H
#define TAVRIN_SHARED_TYPES_H

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>

#include "core/Math.h"

namespace ProjectTavrin::Shared {
using float2 = Math::vec2;
using float3 = Math::vec3;
using float4 = Math::vec4;
using uint = uint32_t;
using int32 = int32_t;
/// A 64-bit buffer device address: GLSL reads it as a uint64_t, aligned to 8 bytes like the root
/// signature's buffer-address parameters (kept as two words here so blocks stay trivially copyable
/// from any 4-byte-aligned source).
struct alignas(8) BufferAddress {
    uint32_t lo = 0, hi = 0;
    BufferAddress() = default;
    BufferAddress(uint64_t address) : lo(static_cast<uint32_t>(address)), hi(static_cast<uint32_t>(address >> 32)) {}
    uint64_t Value() const { return (uint64_t(hi) << 32) | lo; }
};
}  // namespace ProjectTavrin::Shared
#define TAVRIN_SHARED_BEGIN namespace ProjectTavrin::Shared {
#define TAVRIN_SHARED_END }
#else
#extension GL_EXT_scalar_block_layout : require
#extension GL_EXT_buffer_reference : require
#extension GL_EXT_shader_explicit_arithmetic_types_int64 : require
#define float2 vec2
#define float3 vec3
#define float4 vec4
#define int32 int
#define BufferAddress uint64_t
#define TAVRIN_SHARED_BEGIN
#define TAVRIN_SHARED_END
#endif

#endif
