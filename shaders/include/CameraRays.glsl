// The camera rays of the traced passes that find the visible surfaces themselves: the ray through
// a pixel's centre of a traced image, and what the temporal passes need of its hit (its linear
// depth and its screen motion since the last frame). Needs SceneBlocks.glsl.
#ifndef TAVRIN_CAMERA_RAYS_GLSL
#define TAVRIN_CAMERA_RAYS_GLSL

/// The unit direction from the camera through the centre of `pixel` of an image of `size`
/// (texture y down, clip y up).
vec3 CameraRayDirection(const CameraBuffer cam, ivec2 pixel, uvec2 size) {
    const vec2 uv = (vec2(pixel) + 0.5) / vec2(size);
    const vec4 far = vec4(uv.x * 2.0 - 1.0, 1.0 - uv.y * 2.0, 1.0, 1.0) * cam.inverseViewProjection;
    return normalize(far.xyz / far.w - cam.cameraWorldPos.xyz);
}

/// Depth along the view direction, 0 at the camera and 1 at the far plane.
float LinearDepth(const CameraBuffer cam, vec3 position) {
    return clamp(dot(position - cam.cameraWorldPos.xyz, cam.cameraViewDir.xyz) / cam.FarZ, 0.0, 1.0);
}

/// The screen motion (texture coordinates) of a point now at `position` and last frame at
/// `lastPosition`.
vec2 ScreenMotion(const CameraBuffer cam, vec3 position, vec3 lastPosition) {
    const vec4 clip = vec4(position, 1.0) * cam.view * cam.projection;
    const vec4 prevClip = vec4(lastPosition, 1.0) * cam.prevView * cam.prevProjection;
    return (clip.xy / clip.w - prevClip.xy / prevClip.w) * vec2(0.5, -0.5);
}

#endif
