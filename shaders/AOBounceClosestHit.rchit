#version 460
// An occlusion ray's hit: how far it got.
#extension GL_EXT_ray_tracing : require
#define TAVRIN_BINDLESS_SCENES
#include "Bindless.glsl"
#include "shared/RtaoConstants.h"
#include "AOPayload.glsl"
TAVRIN_PUSH_CONSTANTS(RtaoTraceConstants, pc)

layout(location = AO_BOUNCE_PAYLOAD_LOCATION) rayPayloadInEXT AOBouncePayload bounce;

void main() { bounce.hitT = gl_HitTEXT; }
