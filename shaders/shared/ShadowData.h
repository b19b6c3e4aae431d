// The sun's cascaded shadow maps as the shaders see them. ShadowData (one slot per frame in
// flight) takes a world position into the global shadow space of the whole shadowed range;
// each cascade's texture space is (global + offset) * scale. The passes that make the maps take
// their constants in push constants; the maps themselves are bindless heap indices.
#ifndef TAVRIN_SHARED_SHADOW_DATA_H
#define TAVRIN_SHARED_SHADOW_DATA_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct ShadowData {
    float4x4 _ShadowMatrix;         //   0: world -> global shadow texture space
    float4 _CascadeSplits;          //  64: view depth where cascade i ends (0: cascade unused)
    float4 _CascadeOffsets[4];      //  80
    float4 _CascadeScales[4];       // 144
    float _OffsetScale;             // 208: receiver offset along its normal, in shadow texels
    float _LightBleedingReduction;  // 212
    float _FilterSize;              // 216
    float _VSMBias;                 // 220
    float _PositiveExponent;        // 224
    float _NegativeExponent;        // 228
};
TAVRIN_CHECK_SIZE(ShadowData, 232)
TAVRIN_CHECK_OFFSET(ShadowData, _CascadeSplits, 64)
TAVRIN_CHECK_OFFSET(ShadowData, _CascadeOffsets, 80)
TAVRIN_CHECK_OFFSET(ShadowData, _CascadeScales, 144)
TAVRIN_CHECK_OFFSET(ShadowData, _OffsetScale, 208)
TAVRIN_CHECK_OFFSET(ShadowData, _NegativeExponent, 228)

/// The caster draw: one cascade's view-projection (column-major) and the material's diffuse
/// texture for the alpha test (none: every texel casts).
struct ShadowCasterConstants {
    float4x4 ShadowMatrix;  //  0
    uint texDiffuse;        // 64
    float alphaClip;        // 68
};
TAVRIN_CHECK_SIZE(ShadowCasterConstants, 72)
TAVRIN_CHECK_PUSH_CONSTANTS(ShadowCasterConstants)

/// Depth atlas tile -> exponential moments in one slice of the moment array.
struct ConvertToVsmConstants {
    float _PositiveExponent;  //  0
    float _NegativeExponent;  //  4
    uint _CascadeIdx;         //  8
    uint _ShadowMapSize;      // 12: texels per side of a cascade
    uint shadowMap;           // 16: the depth atlas (sampled)
    uint vsm;                 // 20: the moment array (storage)
};
TAVRIN_CHECK_SIZE(ConvertToVsmConstants, 24)
TAVRIN_CHECK_PUSH_CONSTANTS(ConvertToVsmConstants)

/// One direction of the moment blur: from the array slice into the temporary map (x), or back
/// (y). Its width follows the cascade's scale against cascade 0's, so every cascade blurs about
/// the same distance in the world.
struct BlurVsmConstants {
    float4 _CascadeScale;   //  0
    float4 _Cascade0Scale;  // 16
    uint _CascadeIdx;       // 32
    uint _SampleRadius;     // 36
    float _FilterSize;      // 40
    uint _ShadowMapSize;    // 44
    uint source;            // 48: sampled
    uint dest;              // 52: storage
};
TAVRIN_CHECK_SIZE(BlurVsmConstants, 56)
TAVRIN_CHECK_OFFSET(BlurVsmConstants, _CascadeIdx, 32)
TAVRIN_CHECK_PUSH_CONSTANTS(BlurVsmConstants)

TAVRIN_SHARED_END

#endif
