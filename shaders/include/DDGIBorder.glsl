// The border texels of an octahedral probe tile repeat the interior texels across the edge they
// touch (mirrored along it), so bilinear lookups near a tile's edge blend the right directions.
// Tile coordinates run 0 .. texels + 1, the interior 1 .. texels.
#ifndef TAVRIN_DDGI_BORDER_GLSL
#define TAVRIN_DDGI_BORDER_GLSL

/// Source texel for border texel `b` of a tile with `n` interior texels per side.
ivec2 DDGIBorderSource(ivec2 b, int n) {
    const int last = n + 1;
    if ((b.x == 0 || b.x == last) && (b.y == 0 || b.y == last))  // corners: the opposite corner
        return ivec2(b.x == 0 ? n : 1, b.y == 0 ? n : 1);
    if (b.y == 0) return ivec2(last - b.x, 1);
    if (b.y == last) return ivec2(last - b.x, n);
    if (b.x == 0) return ivec2(1, last - b.y);
    return ivec2(n, last - b.y);
}

#endif
