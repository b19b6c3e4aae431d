// Root constants of tests/CountFragments.*: the storage image that counts fragments per pixel.
#ifndef TAVRIN_TEST_COUNT_FRAGMENTS_CONSTANTS_H
#define TAVRIN_TEST_COUNT_FRAGMENTS_CONSTANTS_H
#include "../shared/SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct CountFragmentsConstants {
    uint countsIndex;
};
TAVRIN_CHECK_SIZE(CountFragmentsConstants, 4)
TAVRIN_CHECK_PUSH_CONSTANTS(CountFragmentsConstants)

TAVRIN_SHARED_END

#endif
