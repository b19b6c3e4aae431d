// What the depth-of-field steps share: the view distance of a depth-buffer value and the signed
// circle of confusion (negative in front of the focus plane) in image heights. The including
// shader declares `pc` (DofConstants) and g_FocusBuffers (binding 2, `uint words[]`) first.
#ifndef TAVRIN_DOF_COMMON_GLSL
#define TAVRIN_DOF_COMMON_GLSL

float ViewDistance(float depth) { return pc.nearZ * pc.farZ / (pc.farZ - depth * (pc.farZ - pc.nearZ)); }

float FocusDistance() {
    if (pc.autoFocus == 0) return pc.distance;
    return max(uintBitsToFloat(g_FocusBuffers[nonuniformEXT(pc.focus)].words[0]), pc.nearZ);
}

float CircleOfConfusion(float z, float focus) {
    return clamp((z - focus) * pc.lensCoeff / max(z, 1e-5), -pc.maxCoC, pc.maxCoC);
}

#endif
