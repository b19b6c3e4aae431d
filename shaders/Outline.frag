#version 460
// Outline pixel shader: the material's edge colour (as its morphs leave it), its alpha times the
// material's, so a material a morph hides takes its outline with it; screen-space motion as the
// model draw writes it.
#include "shared/ModelDraw.h"
#include "SceneBlocks.glsl"

TAVRIN_PUSH_CONSTANTS(OutlineConstants, outline)

layout(location = 0) in vec4 inClip;
layout(location = 1) in vec4 inPrevClip;

layout(location = 0) out vec4 outColor;
layout(location = 1) out vec4 outVelocity;

void main() {
    const MaterialBuffer m = MaterialBufferRef(outline.material).data;
    const float alpha = clamp(m.edgeColor.a, 0.0, 1.0) * clamp(m.diffuse.a, 0.0, 1.0);
    if (alpha <= 0.0) discard;
    outColor = vec4(max(m.edgeColor.rgb, vec3(0.0)), alpha);
    const vec2 ndc = inClip.xy / inClip.w;
    const vec2 prevNdc = inPrevClip.xy / inPrevClip.w;
    outVelocity = vec4((ndc - prevNdc) * vec2(0.5, -0.5), 0.0, alpha);
}
