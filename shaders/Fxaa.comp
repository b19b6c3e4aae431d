#version 460
// FXAA on the scene: pixels on a luma edge are re-sampled from the scene's copy half a pixel
// across the edge, by how far along the edge they lie from its ends and by how much they stand
// out from their neighbours. Pixels whose neighbourhood has no contrast are not written at all,
// so flat areas keep their exact values.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/PostConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(FxaaConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];
layout(set = 1, binding = 0) uniform sampler LinearClamp;

const float kEdgeThreshold = 0.125;     // contrast relative to the brightest neighbour
const float kEdgeThresholdMin = 0.0312; // absolute contrast below which nothing is an edge
const float kSubpixelQuality = 0.75;
const int kSearchSteps = 10;
const float kSearchStep[kSearchSteps] = float[](1.0, 1.0, 1.0, 1.0, 1.5, 2.0, 2.0, 2.0, 4.0, 8.0);

vec4 SampleAt(vec2 uv) { return textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.source)], LinearClamp), uv, 0.0); }
float Luma(vec3 c) { return sqrt(dot(clamp(c, 0.0, 1.0), vec3(0.299, 0.587, 0.114))); }
float LumaAt(vec2 uv) { return Luma(SampleAt(uv).rgb); }
float LumaOffset(vec2 uv, vec2 offset) { return LumaAt(uv + offset * pc.rcpFrame.xy); }

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.rcpFrame.z) || p.y >= int(pc.rcpFrame.w)) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.rcpFrame.xy;
    const float lumaM = LumaAt(uv);
    const float lumaN = LumaOffset(uv, vec2(0, -1)), lumaS = LumaOffset(uv, vec2(0, 1));
    const float lumaW = LumaOffset(uv, vec2(-1, 0)), lumaE = LumaOffset(uv, vec2(1, 0));
    const float lumaMax = max(lumaM, max(max(lumaN, lumaS), max(lumaW, lumaE)));
    const float lumaMin = min(lumaM, min(min(lumaN, lumaS), min(lumaW, lumaE)));
    const float range = lumaMax - lumaMin;
    if (range < max(kEdgeThresholdMin, lumaMax * kEdgeThreshold)) return;

    const float lumaNW = LumaOffset(uv, vec2(-1, -1)), lumaNE = LumaOffset(uv, vec2(1, -1));
    const float lumaSW = LumaOffset(uv, vec2(-1, 1)), lumaSE = LumaOffset(uv, vec2(1, 1));
    // A horizontal edge changes the luma from row to row: the second differences down the columns.
    const float edgeHorizontal = abs(lumaNW + lumaSW - 2.0 * lumaW) + 2.0 * abs(lumaN + lumaS - 2.0 * lumaM) +
                                 abs(lumaNE + lumaSE - 2.0 * lumaE);
    const float edgeVertical = abs(lumaNW + lumaNE - 2.0 * lumaN) + 2.0 * abs(lumaW + lumaE - 2.0 * lumaM) +
                               abs(lumaSW + lumaSE - 2.0 * lumaS);
    const bool horizontal = edgeHorizontal >= edgeVertical;

    // The side of the pixel the edge lies on: the neighbour across it with the larger gradient.
    const float luma1 = horizontal ? lumaN : lumaW;
    const float luma2 = horizontal ? lumaS : lumaE;
    const float gradient1 = abs(luma1 - lumaM), gradient2 = abs(luma2 - lumaM);
    const bool side1 = gradient1 >= gradient2;
    const float gradientScaled = 0.25 * max(gradient1, gradient2);
    float stepLength = horizontal ? pc.rcpFrame.y : pc.rcpFrame.x;
    float lumaLocalAverage;
    if (side1) {
        stepLength = -stepLength;
        lumaLocalAverage = 0.5 * (luma1 + lumaM);
    } else {
        lumaLocalAverage = 0.5 * (luma2 + lumaM);
    }
    vec2 edgeUv = uv;
    if (horizontal) edgeUv.y += stepLength * 0.5;
    else edgeUv.x += stepLength * 0.5;

    // Walk both ways along the edge until the luma leaves the edge's average.
    const vec2 along = horizontal ? vec2(pc.rcpFrame.x, 0.0) : vec2(0.0, pc.rcpFrame.y);
    vec2 uv1 = edgeUv - along, uv2 = edgeUv + along;
    float lumaEnd1 = LumaAt(uv1) - lumaLocalAverage, lumaEnd2 = LumaAt(uv2) - lumaLocalAverage;
    bool reached1 = abs(lumaEnd1) >= gradientScaled, reached2 = abs(lumaEnd2) >= gradientScaled;
    for (int i = 1; i < kSearchSteps && !(reached1 && reached2); ++i) {
        if (!reached1) {
            uv1 -= along * kSearchStep[i];
            lumaEnd1 = LumaAt(uv1) - lumaLocalAverage;
            reached1 = abs(lumaEnd1) >= gradientScaled;
        }
        if (!reached2) {
            uv2 += along * kSearchStep[i];
            lumaEnd2 = LumaAt(uv2) - lumaLocalAverage;
            reached2 = abs(lumaEnd2) >= gradientScaled;
        }
    }
    const float distance1 = horizontal ? uv.x - uv1.x : uv.y - uv1.y;
    const float distance2 = horizontal ? uv2.x - uv.x : uv2.y - uv.y;
    const bool nearer1 = distance1 < distance2;
    const float distanceFinal = min(distance1, distance2);
    const float edgeLength = distance1 + distance2;
    const bool centreBelowAverage = lumaM < lumaLocalAverage;
    const bool correctVariation = ((nearer1 ? lumaEnd1 : lumaEnd2) < 0.0) != centreBelowAverage;
    float pixelOffset = -distanceFinal / edgeLength + 0.5;
    pixelOffset = correctVariation ? pixelOffset : 0.0;

    // Sub-pixel aliasing: a pixel that differs from the average of its 3 x 3 neighbourhood.
    const float lumaAverage = (2.0 * (lumaN + lumaS + lumaW + lumaE) + lumaNW + lumaNE + lumaSW + lumaSE) / 12.0;
    const float subPixel1 = clamp(abs(lumaAverage - lumaM) / range, 0.0, 1.0);
    const float subPixel2 = (-2.0 * subPixel1 + 3.0) * subPixel1 * subPixel1;
    const float subPixelOffset = subPixel2 * subPixel2 * kSubpixelQuality;
    const float offset = max(pixelOffset, subPixelOffset);

    vec2 finalUv = uv;
    if (horizontal) finalUv.y += offset * stepLength;
    else finalUv.x += offset * stepLength;
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(SampleAt(finalUv).rgb, 1.0));
}
