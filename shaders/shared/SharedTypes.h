// The one convention for data that C++ writes and GLSL reads. Each such block is declared once,
// in a header under shaders/shared/ that both languages include (GLSL: #include "shared/Name.h",
// C++: #include "shaders/shared/Name.h"), written in the subset of C both accept:
//
//   #include "SharedTypes.h"
//   TAVRIN_SHARED_BEGIN
//   struct MipConstants {
//       float2 texelSize;  //  0
//       uint srcIndex;     //  8
//       uint dstIndex;     // 12
//   };
//   TAVRIN_CHECK_SIZE(MipConstants, 16)
//   TAVRIN_CHECK_OFFSET(MipConstants, srcIndex, 8)
//   TAVRIN_CHECK_PUSH_CONSTANTS(MipConstants)
//   TAVRIN_SHARED_END
//
// and in the shader that reads it as push constants:  TAVRIN_PUSH_CONSTANTS(MipConstants, pc)
// or through a buffer address:                        TAVRIN_BUFFER_REFERENCE(MipConstants)
//                                                      ... MipConstantsRef(address).data ...
//
// Rules:
// - Member types are the names below: float, float2/3/4, float4x4, int32, uint, BufferAddress.
// - Scalar layout on both sides. The C++ vector and matrix types align like their components,
//   which is what GLSL's scalar block layout does, so one declaration places every member alike
//   in both languages. GLSL blocks that hold a shared struct are declared scalar (the two macros
//   above do it); the build-time shader check compares the size every shader sees with the C++
//   struct's, for the structs listed in shaders/check/SharedStructSizes.cpp (a new shared
//   struct gets a line there).
// - A BufferAddress aligns to 8 in both languages. Padding is never implicit: a block that must
//   reach a given size names its padding members.
// - float4x4 is column-major for the shaders; the CPU's row-vector matrices are stored
//   transposed.
// - C++ side: structs live in namespace Engine::Shared. The size and every offset another part
//   of the program relies on are pinned with TAVRIN_CHECK_SIZE / TAVRIN_CHECK_OFFSET
//   (static_assert on offsetof; nothing in GLSL). Default values are written TAVRIN_DEFAULT(v);
//   helpers that only C++ needs sit inside #ifdef __cplusplus.
// - Push-constant structs are marked TAVRIN_CHECK_PUSH_CONSTANTS: at most 128 bytes (what every
//   Vulkan device offers) in whole 32-bit words.
#ifndef TAVRIN_SHARED_TYPES_H
#define TAVRIN_SHARED_TYPES_H

#ifdef __cplusplus

#include <cstddef>
#include <cstdint>

#include "core/Math.h"

namespace Engine::Shared {
using float2 = Math::vec2;
using float3 = Math::vec3;
using float4 = Math::vec4;
using float4x4 = Math::mat4;
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
/// The push-constant space every Vulkan device offers (maxPushConstantsSize is at least this).
inline constexpr std::size_t kGuaranteedPushConstantBytes = 128;
}  // namespace Engine::Shared

#define TAVRIN_SHARED_BEGIN namespace Engine::Shared {
#define TAVRIN_SHARED_END }
#define TAVRIN_DEFAULT(value) = value
#define TAVRIN_CHECK_SIZE(Type, bytes) static_assert(sizeof(Type) == (bytes), #Type " must be " #bytes " bytes");
#define TAVRIN_CHECK_OFFSET(Type, member, bytes) \
    static_assert(offsetof(Type, member) == (bytes), #Type "::" #member " must sit at byte " #bytes);
#define TAVRIN_CHECK_PUSH_CONSTANTS(Type)                                                   \
    static_assert(sizeof(Type) <= kGuaranteedPushConstantBytes && sizeof(Type) % 4 == 0, \
                  #Type " must fit the 128 bytes of push constants every device offers, in whole words");

#else  // GLSL

#extension GL_EXT_scalar_block_layout : require
#extension GL_EXT_buffer_reference : require
#extension GL_EXT_shader_explicit_arithmetic_types_int64 : require

#define float2 vec2
#define float3 vec3
#define float4 vec4
#define float4x4 mat4
#define int32 int
#define BufferAddress uint64_t

#define TAVRIN_SHARED_BEGIN
#define TAVRIN_SHARED_END
#define TAVRIN_DEFAULT(value)
#define TAVRIN_CHECK_SIZE(Type, bytes)
#define TAVRIN_CHECK_OFFSET(Type, member, bytes)
#define TAVRIN_CHECK_PUSH_CONSTANTS(Type)

/// The shader's push-constant block: one member `instance` of the shared struct `Type`.
#define TAVRIN_PUSH_CONSTANTS(Type, instance) \
    layout(push_constant, scalar) uniform Type##Block { Type instance; };
/// A read-only buffer reference `Type##Ref` to one shared struct, its member `data`.
#define TAVRIN_BUFFER_REFERENCE(Type) \
    layout(buffer_reference, scalar, buffer_reference_align = 8) readonly buffer Type##Ref { Type data; };

#endif

#endif
