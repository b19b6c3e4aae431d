#version 460
// One accumulation step of one radiance mip of the lighting cube: each texel, as the mirror
// direction of a surface seen head-on, adds GGX-distributed samples of the environment cube for
// the mip's roughness, weighted by N.L, to the running mean it holds (rgb: mean, a: weight sum).
// Samples are read from the environment's mip whose texels match the sample's footprint, so few
// samples per step already give a smooth result.
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

// The footprint the mip filter assumes, in samples over the whole lobe.
const float kFilterSamples = 64.0;

void main() {
    const uvec3 id = gl_GlobalInvocationID;
    if (id.x >= pc.faceSize || id.y >= pc.faceSize || id.z >= 6u) return;
    const vec3 n = CubeFaceDirection(id.z, (vec2(id.xy) + 0.5) / float(pc.faceSize));

    vec3 sum = vec3(0.0);
    float weight = 0.0;
    if (pc.roughness <= 0.0) {
        // A mirror reflects the one direction.
        sum = Environment(n, 0.0);
        weight = 1.0;
    } else {
        const float a = pc.roughness * pc.roughness;
        const float a2 = a * a;
        const mat3 frame = FrameAround(n);
        for (uint s = 0u; s < pc.sampleCount; ++s) {
            const vec2 xi = HaltonPoint(pc.progress * pc.sampleCount + s);
            // GGX half vector around n; the view is n itself.
            const float cosTheta = sqrt((1.0 - xi.x) / (1.0 + (a2 - 1.0) * xi.x));
            const float sinTheta = sqrt(max(1.0 - cosTheta * cosTheta, 0.0));
            const float phi = 2.0 * kSkyPi * xi.y;
            const vec3 h = frame * vec3(sinTheta * cos(phi), sinTheta * sin(phi), cosTheta);
            const vec3 l = reflect(-n, h);
            const float NdotL = dot(n, l);
            if (NdotL <= 0.0) continue;
            const float d = (cosTheta * cosTheta * (a2 - 1.0) + 1.0);
            const float D = a2 / (kSkyPi * d * d);
            // pdf of l: D(h) * (n.h) / (4 (v.h)) with v = n.
            const float lod = SampleLod(D * 0.25, kFilterSamples, pc.environmentSize);
            sum += Environment(l, lod) * NdotL;
            weight += NdotL;
        }
        if (weight > 0.0) sum /= weight;
    }
    if (weight <= 0.0) return;
    vec4 previous = vec4(0.0);
    if (pc.progress > 0u) previous = imageLoad(g_Lighting[nonuniformEXT(pc.target)], ivec3(id));
    const float total = previous.a + weight;
    imageStore(g_Lighting[nonuniformEXT(pc.target)], ivec3(id), vec4((previous.rgb * previous.a + sum * weight) / total, total));
}
