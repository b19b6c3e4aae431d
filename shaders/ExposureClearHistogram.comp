#version 460
// The 256 histogram counts set to zero (one group, a thread per bin).
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/ExposureConstants.h"

layout(local_size_x = 256) in;
TAVRIN_PUSH_CONSTANTS(ExposureClearConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) writeonly buffer Words { uint words[]; } g_Buffers[];

void main() { g_Buffers[nonuniformEXT(pc.histogram)].words[gl_LocalInvocationIndex] = 0u; }
