// Data layouts read by shaders and written by C++ are declared once, in headers under
// shaders/shared/, which both GLSL and C++ include. A header lists the members with their byte
// offsets in an X-macro and expands it with one of the macros below:
//
//   #define MIP_CONSTANTS(M) M(vec2, texelSize, 0) M(uint, srcIndex, 8) M(uint, dstIndex, 12)
//   TAVRIN_PUSH_CONSTANTS(MipConstants, MIP_CONSTANTS, pc)
//
// GLSL gets a push-constant block (or a buffer struct) in scalar layout with the offsets written
// out, so glslang rejects an offset the member types do not allow; C++ gets a struct in namespace
// Engine::Shared with the same member types, and a static_assert that every member sits at its
// declared offset. The vector and matrix types below align like their scalar components, which is
// what scalar block layout does, so one list of offsets describes both sides.
#ifndef TAVRIN_SHARED_LAYOUT_H
#define TAVRIN_SHARED_LAYOUT_H

#ifdef __cplusplus

#include <cstddef>
#include <cstdint>

namespace Engine::Shared {
using uint = uint32_t;
struct vec2 { float x, y; };
struct vec3 { float x, y, z; };
struct vec4 { float x, y, z, w; };
struct uvec2 { uint32_t x, y; };
struct uvec3 { uint32_t x, y, z; };
struct uvec4 { uint32_t x, y, z, w; };
struct ivec2 { int32_t x, y; };
struct ivec4 { int32_t x, y, z, w; };
struct mat4 { float m[16]; };  // column-major, as GLSL stores it
}  // namespace Engine::Shared

#define TAVRIN_CPP_MEMBER(type, name, at) type name;
#define TAVRIN_CPP_OFFSET_MATCHES(type, name, at) &&offsetof(Self, name) == (at)
#define TAVRIN_CPP_STRUCT(Name, LIST)                                                          \
    namespace Engine::Shared {                                                                 \
    struct Name {                                                                              \
        using Self = Name;                                                                     \
        LIST(TAVRIN_CPP_MEMBER)                                                                \
        static constexpr bool OffsetsMatch() { return true LIST(TAVRIN_CPP_OFFSET_MATCHES); } \
    };                                                                                         \
    static_assert(Name::OffsetsMatch(), #Name ": a member is not at its declared offset");    \
    }

/// Push constants: a struct to fill and hand to SetGraphicsRoot32BitConstants and friends.
#define TAVRIN_PUSH_CONSTANTS(Name, LIST, instance) TAVRIN_CPP_STRUCT(Name, LIST)
/// A struct stored in a buffer (constant data read through a buffer address or storage buffer).
#define TAVRIN_SHARED_STRUCT(Name, LIST) TAVRIN_CPP_STRUCT(Name, LIST)

#else  // GLSL

#extension GL_EXT_scalar_block_layout : require

#define TAVRIN_GLSL_BLOCK_MEMBER(type, name, at) layout(offset = at) type name;
#define TAVRIN_GLSL_STRUCT_MEMBER(type, name, at) type name;
#define TAVRIN_PUSH_CONSTANTS(Name, LIST, instance) \
    layout(push_constant, scalar) uniform Name { LIST(TAVRIN_GLSL_BLOCK_MEMBER) } instance;
// GLSL allows no offsets on struct members: buffers holding the struct use scalar layout, which
// places the members where the C++ struct (checked against the offsets) has them.
#define TAVRIN_SHARED_STRUCT(Name, LIST) struct Name { LIST(TAVRIN_GLSL_STRUCT_MEMBER) };

#endif

#endif
