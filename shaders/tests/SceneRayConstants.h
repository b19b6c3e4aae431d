// Push constants of the scene-ray test pipeline (tests/SceneRays.*): rays in, hits out, both by
// address, and the scene to trace.
#ifndef TAVRIN_TEST_SCENE_RAY_CONSTANTS_H
#define TAVRIN_TEST_SCENE_RAY_CONSTANTS_H
#include "../shared/SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// One ray: origin and direction.
struct SceneRay {
    float4 origin;
    float4 direction;
};

/// What the ray met: the geometry index and primitive (0xffffffff for none), the distance, and
/// the material's diffuse texture sampled at the hit's texture coordinates.
struct SceneRayHit {
    uint geometry;
    uint primitive;
    float distance;
    uint hitKind;
    float4 color;
};

struct SceneRayConstants {
    BufferAddress rays;     //  0
    BufferAddress hits;     //  8
    uint scene;             // 16
    uint count;             // 20
};
TAVRIN_CHECK_SIZE(SceneRayConstants, 24)
TAVRIN_CHECK_PUSH_CONSTANTS(SceneRayConstants)

TAVRIN_SHARED_END

#endif
