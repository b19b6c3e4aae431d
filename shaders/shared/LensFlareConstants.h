// Push constants of the lens flare: the sun's visibility (faded in and out in a 1 x 1 image) and
// the sprites drawn additively over the scene (the flare at the sun, the ghosts along the line
// through the screen centre). Images are bindless heap indices.
#ifndef TAVRIN_SHARED_LENS_FLARE_CONSTANTS_H
#define TAVRIN_SHARED_LENS_FLARE_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct LensFlareVisibilityConstants {
    int32 lightPosX;     // the sun in pixels from the top left
    int32 lightPosY;
    float2 fadeSpeed;    // per second: fading in, fading out
    float maskDistance;  // camera to sun: nearer depths hide it
    float elapsed;       // this frame's seconds
    uint depth;          // sampled: the resolved scene depth
    uint lumAve;         // storage: "LumAveMap"
};
TAVRIN_CHECK_SIZE(LensFlareVisibilityConstants, 32)
TAVRIN_CHECK_OFFSET(LensFlareVisibilityConstants, depth, 24)
TAVRIN_CHECK_PUSH_CONSTANTS(LensFlareVisibilityConstants)

/// One sprite (the flare, or ghost `index`) drawn into a square of the scene.
struct LensFlareSpriteConstants {
    float brightness;
    int32 drawSize;                    // the square's side in pixels
    int32 drawPosX;                    // its top-left corner
    int32 drawPosY;
    int32 targetWidth;
    int32 targetHeight;
    float2 chromaticAberrationOffset;  // texture units between the red, green and blue images
    uint index;                        // ghost: the cell of the ghost atlas
    uint sprite;                       // sampled
    uint lumAve;                       // sampled: the sun's visibility
    uint dest;                         // storage: the scene
};
TAVRIN_CHECK_SIZE(LensFlareSpriteConstants, 48)
TAVRIN_CHECK_OFFSET(LensFlareSpriteConstants, chromaticAberrationOffset, 24)
TAVRIN_CHECK_OFFSET(LensFlareSpriteConstants, index, 32)
TAVRIN_CHECK_PUSH_CONSTANTS(LensFlareSpriteConstants)

TAVRIN_SHARED_END

#endif
