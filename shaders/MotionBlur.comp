#version 460
// Motion blur: each pixel gathers the scene's copy along its own motion of this frame (the
// velocity target, in texture units), stretched to the exposure the length asks for and
// centred on the pixel. Pixels that moved less than half a pixel are not written, so what
// stands still keeps its exact value.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/PostConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(MotionBlurConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];
layout(set = 1, binding = 0) uniform sampler LinearClamp;

const int kTaps = 12;
// The longest blur, in pixels, whatever the motion.
const float kMaxBlurPixels = 64.0;

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.width) || p.y >= int(pc.height)) return;
    const vec2 size = vec2(pc.width, pc.height);
    const vec2 velocity = texelFetch(g_Textures2D[nonuniformEXT(pc.velocity)], p, 0).xy;
    vec2 blur = velocity * size * pc.blurLength;  // pixels
    const float pixels = length(blur);
    if (!(pixels >= 0.5)) return;
    if (pixels > kMaxBlurPixels) blur *= kMaxBlurPixels / pixels;
    const vec2 uv = (vec2(p) + 0.5) / size;
    const vec2 blurUv = blur / size;
    vec3 sum = vec3(0.0);
    for (int i = 0; i < kTaps; ++i) {
        const float t = float(i) / float(kTaps - 1) - 0.5;
        sum += textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.color)], LinearClamp), uv + blurUv * t, 0.0).rgb;
    }
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(sum / float(kTaps), 1.0));
}
