#version 460
// The ocean surface: a height field of crossing wave trains with sharp crests (sharper as
// SEA_CHOPPY grows), moving with SEA_TIME * SEA_SPEED, its normal from forward differences. The
// colour mixes the environment reflected about that normal (Fresnel, water's F0 = 0.02) with the
// water's own colour (SEA_BASE, and SEA_WATER_COLOR where the waves stand high), and fades into
// the environment's horizon far away, where the waves would only alias.
#include "Bindless.glsl"
#include "SceneBlocks.glsl"
#include "SkyMapping.glsl"
#include "shared/SkyConstants.h"

TAVRIN_PUSH_CONSTANTS(OceanDrawConstants, pc)
TAVRIN_BUFFER_REFERENCE(OceanConstants)
layout(set = 1, binding = 0) uniform sampler SkySampler;  // linear, wrap, anisotropic

layout(location = 0) in vec3 inWorldPos;
layout(location = 1) in vec4 inClip;
layout(location = 2) in vec4 inPrevClip;

layout(location = 0) out vec4 outColor;
layout(location = 1) out vec4 outVelocity;

const int kOctaves = 5;

float Hash(vec2 p) {
    p = fract(p * vec2(127.1, 311.7));
    p += dot(p, p + 19.19);
    return fract(p.x * p.y);
}

// Smooth value noise in -1 .. 1.
float Noise(vec2 p) {
    const vec2 i = floor(p), f = fract(p);
    const vec2 u = f * f * (3.0 - 2.0 * f);
    const float a = Hash(i), b = Hash(i + vec2(1, 0)), c = Hash(i + vec2(0, 1)), d = Hash(i + vec2(1, 1));
    return mix(mix(a, b, u.x), mix(c, d, u.x), u.y) * 2.0 - 1.0;
}

// One wave train in 0 .. 1: two crossing cosine ridges, bent by noise, whose product is raised
// to a power so that the crests narrow and the troughs flatten.
float Ridges(vec2 q, float choppy) {
    q += vec2(Noise(q * 0.35), Noise(q * 0.35 + 17.0)) * 0.9;
    const vec2 ridge = 0.5 + 0.5 * cos(q);
    return pow(ridge.x * ridge.y, 1.0 + 0.25 * max(choppy, 0.0));
}

float Height(vec2 p, OceanConstants o, int octaves) {
    const mat2 turn = mat2(1.6, 1.2, -1.2, 1.6);  // rotate and scale by 2 each octave
    float freq = o.SEA_FREQ, amplitude = o.SEA_HEIGHT, choppy = o.SEA_CHOPPY, h = 0.0;
    const float t = o.SEA_TIME * o.SEA_SPEED;
    vec2 q = p;
    for (int k = 0; k < octaves; ++k) {
        // Two trains per octave, running against each other.
        h += (Ridges((q + t) * freq, choppy) + Ridges((q - t) * freq, choppy)) * amplitude;
        q = turn * q;
        freq *= 1.9;
        amplitude *= 0.22;
        choppy = mix(choppy, 1.0, 0.2);
    }
    return h;
}

vec3 Environment(vec3 dir) {
    const vec3 c = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.skyMap)], SkySampler), EquirectUv(dir), 0.0).rgb;
    return min(c, vec3(pc.maxRadiance));
}

void main() {
    const CameraBuffer cam = CameraBufferRef(pc.camera).data;
    const OceanConstants o = OceanConstantsRef(pc.ocean).data;
    const vec3 toEye = cam.cameraWorldPos.xyz - inWorldPos;
    const float distance = length(toEye);
    const vec3 v = toEye / max(distance, 1e-4);

    // Fewer octaves and a wider difference step far away, where a pixel covers many waves.
    const float pixelSize = distance * 2.0 * cam.screenSize.w / max(cam.projection[1][1], 1e-4);
    const int octaves = clamp(kOctaves - int(log2(max(pixelSize, 1e-3) * o.SEA_FREQ * 8.0)), 1, kOctaves);
    const float e = max(pixelSize, 0.01);
    const vec2 p = inWorldPos.xz;
    const float h = Height(p, o, octaves);
    // Forward differences: three evaluations of the height field per pixel.
    const vec3 n0 = normalize(vec3(h - Height(p + vec2(e, 0), o, octaves), e, h - Height(p + vec2(0, e), o, octaves)));
    // The waves flatten towards the horizon.
    const vec3 n = normalize(mix(n0, vec3(0, 1, 0), smoothstep(200.0, 4000.0, distance)));

    vec3 r = reflect(-v, n);
    r.y = abs(r.y);  // a reflection that dips below the horizon sees the sky just above it
    const float NdotV = clamp(dot(n, v), 0.0, 1.0);
    const float fresnel = 0.02 + 0.98 * pow(1.0 - NdotV, 5.0);
    const vec3 reflected = Environment(r);

    // Light from above lights the water body; the crests scatter the water colour.
    const vec3 skyLight = Environment(vec3(0.0, 1.0, 0.0));
    const float crest = clamp(h / max(o.SEA_HEIGHT * 2.0, 1e-3), 0.0, 1.0);
    const vec3 body = (o.SEA_BASE + o.SEA_WATER_COLOR * 0.12 * crest) * skyLight;
    vec3 color = mix(body, reflected, fresnel);

    const vec3 horizon = Environment(normalize(vec3(-v.x, 0.02, -v.z)));
    color = mix(color, horizon, 1.0 - exp(-distance * 0.00025));

    outColor = vec4(color, 1.0);
    const vec2 ndc = inClip.xy / inClip.w;
    const vec2 prevNdc = inPrevClip.xy / inPrevClip.w;
    outVelocity = vec4((ndc - prevNdc) * vec2(0.5, -0.5), 0.0, 1.0);
}
