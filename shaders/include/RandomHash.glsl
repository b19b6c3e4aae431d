// Per-pixel random numbers for the traced passes: an integer hash and a uniform [0, 1) stream.
#ifndef TAVRIN_RANDOM_HASH_GLSL
#define TAVRIN_RANDOM_HASH_GLSL

uint Hash(uint x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

/// A seed that differs by pixel and by frame.
uint PixelSeed(ivec2 pixel, uint frame) { return Hash(uint(pixel.x) * 1973u ^ Hash(uint(pixel.y) * 9277u ^ Hash(frame * 26699u))); }

float Random(inout uint state) {
    state = Hash(state);
    return float(state >> 8) / 16777216.0;
}

#endif
