// Root constants of tests/MirrorTriangle.*: how far the geometry stage moves its copy (clip x).
#ifndef TAVRIN_TEST_MIRROR_TRIANGLE_CONSTANTS_H
#define TAVRIN_TEST_MIRROR_TRIANGLE_CONSTANTS_H
#include "../shared/SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct MirrorTriangleConstants {
    float shift;
};
TAVRIN_CHECK_SIZE(MirrorTriangleConstants, 4)
TAVRIN_CHECK_PUSH_CONSTANTS(MirrorTriangleConstants)

TAVRIN_SHARED_END

#endif
