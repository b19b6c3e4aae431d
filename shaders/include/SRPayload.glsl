// The payloads of the reflection pipeline. The camera ray's (SRPayload): the visible surface's
// position, normal, roughness and where it was last frame (hitT < 0: no surface). A reflection
// ray's (SRBouncePayload): the light leaving what it hit towards its origin (hitT < 0: it
// reached its length free), given the roughness of the lobe it was drawn from; shadow rays from
// those hits use the same payload.
#ifndef TAVRIN_SR_PAYLOAD_GLSL
#define TAVRIN_SR_PAYLOAD_GLSL

struct SRPayload {
    vec3 position;
    float hitT;
    vec3 normal;
    float roughness;
    vec3 lastPosition;
};

struct SRBouncePayload {
    vec3 radiance;
    float hitT;
    float lobeRoughness;  // in: the hit is shaded no sharper than the lobe that found it
};

#define SR_PAYLOAD_LOCATION 0
#define SR_BOUNCE_PAYLOAD_LOCATION 1
#define SR_SHADOW_PAYLOAD_LOCATION 2
// Hit groups per geometry record pair and the miss shaders' order in their table.
#define SR_HIT_GROUP 0
#define SR_BOUNCE_HIT_GROUP 1
#define SR_HIT_GROUP_STRIDE 2
#define SR_MISS 0
#define SR_BOUNCE_MISS 1

#endif
