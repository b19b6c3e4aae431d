#pragma once
// The camera block as the renderer names it, and the 256-byte slot it is uploaded in. The block
// itself is shared with the shaders (shaders/shared/CameraBuffer.h).
#include "shaders/shared/CameraBuffer.h"

namespace ProjectTavrin {

using CameraBuffer = Engine::Shared::CameraBuffer;

/// One slot of the camera buffer: constant-buffer slots sit 256 bytes apart.
struct alignas(256) CameraBufferSlot {
    CameraBuffer block;
};
static_assert(sizeof(CameraBufferSlot) == 512);

}  // namespace ProjectTavrin
