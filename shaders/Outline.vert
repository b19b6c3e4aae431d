#version 460
// Outline vertex shader: the model's vertex pushed out along its normal, in screen space, by the
// material's edge size x the vertex's edge scale x the pixels per unit of the frame. Only back
// faces are drawn (the pipeline culls front faces), so the pushed shell shows as a ring around
// the silhouette of the surface drawn before it, as wide on screen near the camera as far away.
#include "shared/ModelDraw.h"
#include "SceneBlocks.glsl"

TAVRIN_PUSH_CONSTANTS(OutlineConstants, outline)

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inLastPosition;
layout(location = 2) in vec3 inNormal;
layout(location = 4) in float inEdgeScale;

layout(location = 0) out vec4 outClip;
layout(location = 1) out vec4 outPrevClip;

// `clip` moved by `pixels` along the screen direction of `normal` under `view` and `projection`.
vec4 PushOut(vec4 clip, vec3 normal, mat4 view, mat4 projection, vec2 screen, float pixels) {
    const vec2 direction = (vec4(normal, 0.0) * view * projection).xy * screen;
    const float length2 = dot(direction, direction);
    if (!(length2 > 1e-12)) return clip;
    // One pixel is 2 / screen in normalised device coordinates, times w in clip space.
    clip.xy += direction * inversesqrt(length2) * pixels * 2.0 / screen * clip.w;
    return clip;
}

void main() {
    const CameraBuffer cam = CameraBufferRef(outline.camera).data;
    const MaterialBuffer m = MaterialBufferRef(outline.material).data;
    const float pixels = max(m.edgeSize, 0.0) * inEdgeScale * outline.pixelsPerEdgeUnit;
    const vec2 screen = cam.screenSize.xy;
    const vec4 clip = vec4(inPosition, 1.0) * cam.view * cam.projection;
    const vec4 prevClip = vec4(inLastPosition, 1.0) * cam.prevView * cam.prevProjection;
    outClip = PushOut(clip, inNormal, cam.view, cam.projection, screen, pixels);
    outPrevClip = PushOut(prevClip, inNormal, cam.prevView, cam.prevProjection, screen, pixels);
    gl_Position = outClip;
}
