#version 460
// The flare around the sun: the whole "Lensflare" sprite over its square.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/LensFlareConstants.h"
#include "LensFlareSprite.glsl"

vec2 SpriteUv(vec2 uv) { return uv; }
