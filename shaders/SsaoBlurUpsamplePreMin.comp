#version 460
// Screen-space occlusion, the last blur and upsample into "Occlusion" (no fine estimate of its
// own at full size).
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/SsaoConstants.h"
#define TAVRIN_SSAO_BLEND_OUT 0
#include "SsaoBlurUpsample.glsl"
