// The payloads of the GI rays: radiance and hit distance for probe rays (the distance negative
// for a surface hit from behind, whose light is not counted), and the shadow rays' visibility.
#ifndef TAVRIN_GI_PAYLOAD_GLSL
#define TAVRIN_GI_PAYLOAD_GLSL

struct GIPayload {
    vec3 radiance;
    float distance;
};

#define GI_PAYLOAD_LOCATION 0
#define GI_SHADOW_PAYLOAD_LOCATION 1
#define GI_MISS_INDEX 0
#define GI_SHADOW_MISS_INDEX 1

/// Sky light for rays that leave the scene: the ambient light at the scale the model shader
/// lights surfaces with, so an open scene under probe light looks as it does under ambient light.
vec3 GISkyRadiance(GIOptions o) {
    return min(o.AmbientColor * o.AmbientIntensity, vec3(o.SkyLightUpperLimit)) * 0.7;
}

#endif
