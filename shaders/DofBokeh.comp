#version 460
// Depth of field, step 2: a gather over a disc of the largest circle of confusion at half size.
// A sample counts for the background when its own circle (and the centre's) reaches the centre,
// for the foreground when its front circle does; the foreground's coverage goes to alpha, so the
// composite can spread blurred near objects over what lies behind them.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/DofConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(DofConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];
layout(set = 1, binding = 0) uniform sampler LinearClamp;

const float kPi = 3.14159265;
// Rings of the disc: the centre, 8 samples at half the radius, 16 at the rim.
const int kRing1 = 8, kRing2 = 16;
const int kSamples = 1 + kRing1 + kRing2;

vec4 SampleCoc(vec2 uv) { return textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.source)], LinearClamp), uv, 0.0); }

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.texelSize.z) || p.y >= int(pc.texelSize.w)) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.texelSize.xy;
    const vec4 centre = SampleCoc(uv);
    // Two texels of the half-size image, in heights: the soft edge of each circle.
    const float margin = pc.texelSize.y * 2.0;
    vec4 background = vec4(0.0), foreground = vec4(0.0);
    for (int i = 0; i < kSamples; ++i) {
        vec2 offset = vec2(0.0);
        if (i > 0 && i <= kRing1) {
            const float a = 2.0 * kPi * float(i - 1) / float(kRing1);
            offset = vec2(cos(a), sin(a)) * 0.5;
        } else if (i > kRing1) {
            const float a = 2.0 * kPi * (float(i - 1 - kRing1) + 0.5) / float(kRing2);
            offset = vec2(cos(a), sin(a));
        }
        offset *= pc.maxCoC;
        const float dist = length(offset);
        const vec4 s = SampleCoc(uv + offset * vec2(pc.rcpAspect, 1.0));
        const float backCoc = max(min(centre.a, s.a), 0.0);
        const float bw = clamp((backCoc - dist + margin) / margin, 0.0, 1.0);
        float fw = clamp((-s.a - dist + margin) / margin, 0.0, 1.0);
        fw *= step(pc.texelSize.y, -s.a);
        background += vec4(s.rgb, 1.0) * bw;
        foreground += vec4(s.rgb, 1.0) * fw;
    }
    background.rgb /= max(background.a, 1e-4);
    foreground.rgb /= max(foreground.a, 1e-4);
    const float frontAlpha = clamp(foreground.a * kPi / float(kSamples), 0.0, 1.0);
    vec3 rgb = background.a > 0.0 ? background.rgb : centre.rgb;
    rgb = mix(rgb, foreground.rgb, frontAlpha);
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(rgb, frontAlpha));
}
