#version 460
// One accumulation step of the lighting cube's irradiance mip: each texel, as a surface normal,
// adds cosine-distributed samples of the environment cube to the running mean it holds (rgb:
// the cosine-weighted mean radiance, which is irradiance / pi and equals the environment's
// colour under a uniform sky; a: samples so far).
#include "Bindless.glsl"
#include "CubeSampling.glsl"
#include "shared/SkyConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(CubeLightingConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba32f, image2DArray, g_Lighting)
layout(set = 1, binding = 0) uniform sampler CubeSampler;  // linear

vec3 Environment(vec3 dir, float lod) {
    return textureLod(samplerCube(g_TexturesCube[nonuniformEXT(pc.environment)], CubeSampler), dir, lod).rgb;
}

const float kFilterSamples = 256.0;

void main() {
    const uvec3 id = gl_GlobalInvocationID;
    if (id.x >= pc.faceSize || id.y >= pc.faceSize || id.z >= 6u) return;
    const vec3 n = CubeFaceDirection(id.z, (vec2(id.xy) + 0.5) / float(pc.faceSize));
    const mat3 frame = FrameAround(n);

    vec3 sum = vec3(0.0);
    for (uint s = 0u; s < pc.sampleCount; ++s) {
        const vec2 xi = HaltonPoint(pc.progress * pc.sampleCount + s);
        const float r = sqrt(xi.x);
        const float phi = 2.0 * kSkyPi * xi.y;
        const float cosTheta = sqrt(max(1.0 - xi.x, 0.0));
        const vec3 l = frame * vec3(r * cos(phi), r * sin(phi), cosTheta);
        const float lod = SampleLod(cosTheta / kSkyPi, kFilterSamples, pc.environmentSize);
        sum += Environment(l, lod);
    }
    const float count = float(pc.sampleCount);
    vec4 previous = vec4(0.0);
    if (pc.progress > 0u) previous = imageLoad(g_Lighting[nonuniformEXT(pc.target)], ivec3(id));
    const float total = previous.a + count;
    imageStore(g_Lighting[nonuniformEXT(pc.target)], ivec3(id), vec4((previous.rgb * previous.a + sum) / total, total));
}
