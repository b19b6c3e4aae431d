#version 460
// The exposure block set from a given exposure and log2 luminance range (one thread).
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/ExposureConstants.h"

layout(local_size_x = 1) in;
TAVRIN_PUSH_CONSTANTS(ExposureInitialiseConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) buffer Words { uint words[]; } g_Buffers[];

#include "ExposureBlock.glsl"

void main() { WriteExposureBlock(pc.exposure, pc.exposureValue, pc.minLog, pc.maxLog); }
