// Where the temporal passes of the traced effects find a pixel's history: the pixel moved back by
// its screen motion, kept only when it lies inside the image and the previous frame's linear
// depth there is within 5 % of this pixel's (otherwise the history belongs to another surface).
#ifndef TAVRIN_TEMPORAL_REPROJECTION_GLSL
#define TAVRIN_TEMPORAL_REPROJECTION_GLSL

/// True, with the history's texture coordinates in `previous`, when `pixel`'s history is usable.
bool ReprojectHistory(ivec2 pixel, vec2 rcpBufferDim, uint velocityView, uint depthView, uint previousDepthView,
                      sampler linearClamp, out vec2 previous) {
    const float depth = texelFetch(g_Textures2D[nonuniformEXT(depthView)], pixel, 0).r;
    const vec2 velocity = texelFetch(g_Textures2D[nonuniformEXT(velocityView)], pixel, 0).xy;
    previous = (vec2(pixel) + 0.5) * rcpBufferDim - velocity;
    if (any(lessThan(previous, vec2(0.0))) || any(greaterThan(previous, vec2(1.0))) || !(depth < 1.0)) return false;
    const float previousDepth =
        textureLod(sampler2D(g_Textures2D[nonuniformEXT(previousDepthView)], linearClamp), previous, 0.0).r;
    return abs(previousDepth - depth) <= 0.05 * depth;
}

#endif
