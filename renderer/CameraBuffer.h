#pragma once
// The per-frame camera block every pass reads (constant block b0 of the model shaders), one slot
// per frame in flight. The CPU keeps the matrices row-major for row vectors (view-projection is
// view * projection); ForShaders transposes them into the shaders' column-major packing.
#include <cstddef>
#include <cstdint>

#include "core/Math.h"

namespace ProjectTavrin {

struct CameraBuffer {
    Math::mat4 prevView;
    Math::mat4 prevProjection;
    Math::mat4 view;
    Math::mat4 projection;
    Math::mat4 inverseViewProjection;
    Math::vec4 screenSize;      ///< width, height, 1 / width, 1 / height of the render targets
    Math::vec4 cameraWorldPos;  ///< w = 0
    Math::vec4 cameraViewDir;   ///< unit, w = 0
    float NearZ = 1.0f;
    float FarZ = 16384.0f;
    int32_t frameCount = 0;
    uint32_t padding[1] = {};

    /// The same block with every matrix transposed, as the shaders read it.
    CameraBuffer ForShaders() const {
        CameraBuffer out = *this;
        out.prevView = Math::Transpose(prevView);
        out.prevProjection = Math::Transpose(prevProjection);
        out.view = Math::Transpose(view);
        out.projection = Math::Transpose(projection);
        out.inverseViewProjection = Math::Transpose(inverseViewProjection);
        return out;
    }
};

/// One slot of the camera buffer: constant-buffer slots sit 256 bytes apart.
struct alignas(256) CameraBufferSlot {
    CameraBuffer block;
};

static_assert(offsetof(CameraBuffer, prevProjection) == 64);
static_assert(offsetof(CameraBuffer, view) == 128);
static_assert(offsetof(CameraBuffer, projection) == 192);
static_assert(offsetof(CameraBuffer, inverseViewProjection) == 256);
static_assert(offsetof(CameraBuffer, screenSize) == 320);
static_assert(offsetof(CameraBuffer, cameraWorldPos) == 336);
static_assert(offsetof(CameraBuffer, cameraViewDir) == 352);
static_assert(offsetof(CameraBuffer, NearZ) == 368);
static_assert(offsetof(CameraBuffer, FarZ) == 372);
static_assert(offsetof(CameraBuffer, frameCount) == 376);
static_assert(sizeof(CameraBuffer) == 384);
static_assert(sizeof(CameraBufferSlot) == 512);

}  // namespace ProjectTavrin
