// The per-frame camera block every scene pass reads (384 bytes, one slot per frame in flight).
// The CPU keeps the matrices row-major for row vectors (view-projection is view * projection);
// ForShaders transposes them into the shaders' column-major packing, so GLSL applies them as
// `v * M`.
#ifndef TAVRIN_SHARED_CAMERA_BUFFER_H
#define TAVRIN_SHARED_CAMERA_BUFFER_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct CameraBuffer {
    float4x4 prevView;
    float4x4 prevProjection;
    float4x4 view;
    float4x4 projection;
    float4x4 inverseViewProjection;
    float4 screenSize;      // width, height, 1 / width, 1 / height of the render targets
    float4 cameraWorldPos;  // w = 0
    float4 cameraViewDir;   // unit, w = 0
    float NearZ TAVRIN_DEFAULT(1.0f);
    float FarZ TAVRIN_DEFAULT(16384.0f);
    int32 frameCount TAVRIN_DEFAULT(0);
    uint padding0 TAVRIN_DEFAULT(0);

#ifdef __cplusplus
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
#endif
};
TAVRIN_CHECK_SIZE(CameraBuffer, 384)
TAVRIN_CHECK_OFFSET(CameraBuffer, prevProjection, 64)
TAVRIN_CHECK_OFFSET(CameraBuffer, view, 128)
TAVRIN_CHECK_OFFSET(CameraBuffer, projection, 192)
TAVRIN_CHECK_OFFSET(CameraBuffer, inverseViewProjection, 256)
TAVRIN_CHECK_OFFSET(CameraBuffer, screenSize, 320)
TAVRIN_CHECK_OFFSET(CameraBuffer, cameraWorldPos, 336)
TAVRIN_CHECK_OFFSET(CameraBuffer, cameraViewDir, 352)
TAVRIN_CHECK_OFFSET(CameraBuffer, NearZ, 368)
TAVRIN_CHECK_OFFSET(CameraBuffer, FarZ, 372)
TAVRIN_CHECK_OFFSET(CameraBuffer, frameCount, 376)

TAVRIN_SHARED_END

#endif
