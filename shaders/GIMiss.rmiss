#version 460
// A probe ray that leaves the scene sees the sky: the environment cube when image-based
// lighting is on and one is bound, else the ambient light.
#extension GL_EXT_ray_tracing : require
#include "Bindless.glsl"
#include "shared/DDGIConstants.h"

TAVRIN_PUSH_CONSTANTS(GITraceConstants, pc)
TAVRIN_BUFFER_REFERENCE(GIOptions)
#include "GIPayload.glsl"

layout(set = 1, binding = 0) uniform sampler BilinearSampler;
layout(location = GI_PAYLOAD_LOCATION) rayPayloadInEXT GIPayload payload;

void main() {
    const GIOptions o = GIOptionsRef(pc.options).data;
    vec3 sky = GISkyRadiance(o);
    if (o.IBL_Enable != 0 && pc.environmentMap != 0xffffffffu)
        sky = min(textureLod(samplerCube(g_TexturesCube[nonuniformEXT(pc.environmentMap)], BilinearSampler), gl_WorldRayDirectionEXT, 0.0).rgb,
                  vec3(o.SkyLightUpperLimit));
    payload.radiance = sky;
    payload.distance = 1e4;
}
