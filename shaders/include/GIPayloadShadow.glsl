// The shadow rays' payload: whether the ray reached its end unblocked.
#ifndef TAVRIN_GI_PAYLOAD_SHADOW_GLSL
#define TAVRIN_GI_PAYLOAD_SHADOW_GLSL
layout(location = 1) rayPayloadInEXT bool shadowVisible;
#endif
