// The voxelisation's running mean in one 32-bit word: red, green and blue in the low three bytes
// as fractions of kVoxelRadianceRange, the number of samples folded in so far in the top byte
// (0: an empty voxel).
#ifndef TAVRIN_VOXEL_PACKING_GLSL
#define TAVRIN_VOXEL_PACKING_GLSL

const float kVoxelRadianceRange = 8.0;
const float kVoxelMaxSamples = 255.0;

vec4 UnpackVoxel(uint word) {
    const vec4 bytes = vec4(word & 0xffu, (word >> 8) & 0xffu, (word >> 16) & 0xffu, word >> 24);
    return vec4(bytes.rgb / 255.0 * kVoxelRadianceRange, bytes.a);
}

uint PackVoxel(vec3 radiance, float count) {
    const uvec3 rgb = uvec3(round(clamp(radiance / kVoxelRadianceRange, 0.0, 1.0) * 255.0));
    return rgb.r | (rgb.g << 8) | (rgb.b << 16) | (uint(count) << 24);
}


#endif
