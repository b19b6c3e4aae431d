#version 460
// Counts the fragments of each pixel in an unsigned storage image; writes no render target.
#include "Bindless.glsl"
#include "tests/CountFragmentsConstants.h"
TAVRIN_PUSH_CONSTANTS(CountFragmentsConstants, pc)
TAVRIN_STORAGE_IMAGES(r32ui, uimage2D, g_Counts)

void main() {
    imageAtomicAdd(g_Counts[nonuniformEXT(pc.countsIndex)], ivec2(gl_FragCoord.xy), 1u);
}
