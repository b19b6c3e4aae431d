#version 460
// Screen-space occlusion, a blur and upsample between levels, multiplied with the finer level's
// own estimate ("AO Smoothed").
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/SsaoConstants.h"
#define TAVRIN_SSAO_BLEND_OUT 1
#include "SsaoBlurUpsample.glsl"
