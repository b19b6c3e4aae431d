#version 460
// Stores one value into texel (0, 0) of an r11f_g11f_b10f storage image, a format that needs the
// extended storage-image formats.
#include "Bindless.glsl"
#include "shared/SharedTypes.h"

struct StoreConstants {
    float3 value;     //  0
    uint padding;     // 12
    uint imageIndex;  // 16
};
TAVRIN_PUSH_CONSTANTS(StoreConstants, pc)

TAVRIN_STORAGE_IMAGES(r11f_g11f_b10f, image2D, g_RWPackedFloat)

layout(local_size_x = 1) in;

void main() {
    imageStore(g_RWPackedFloat[nonuniformEXT(pc.imageIndex)], ivec2(0, 0), vec4(pc.value, 0.0));
}
