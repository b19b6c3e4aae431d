// The payloads of the occlusion pipeline: the camera ray's hit (where, its normal, where it was
// last frame; hitT < 0 for none) and an occlusion ray's (hitT < 0: it reached its length free).
#ifndef TAVRIN_AO_PAYLOAD_GLSL
#define TAVRIN_AO_PAYLOAD_GLSL

struct AOPayload {
    vec3 position;
    float hitT;
    vec3 normal;
    vec3 lastPosition;
};

struct AOBouncePayload {
    float hitT;
};

#define AO_PAYLOAD_LOCATION 0
#define AO_BOUNCE_PAYLOAD_LOCATION 1
// Hit groups per geometry record pair and the miss shaders' order in their table.
#define AO_HIT_GROUP 0
#define AO_BOUNCE_HIT_GROUP 1
#define AO_HIT_GROUP_STRIDE 2
#define AO_MISS 0
#define AO_BOUNCE_MISS 1

#endif
