// Draws one lens-flare sprite additively into its square of the scene, the red and blue images
// shifted apart by the chromatic offset, scaled by the brightness and the sun's visibility. The
// including shader defines SpriteUv(uv), the sprite's texture position for a position in the
// square. A sprite that would add nothing writes nothing.
#ifndef TAVRIN_LENS_FLARE_SPRITE_GLSL
#define TAVRIN_LENS_FLARE_SPRITE_GLSL

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(LensFlareSpriteConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Images)
layout(set = 1, binding = 0) uniform sampler LinearClamp;

vec2 SpriteUv(vec2 uv);

float Channel(vec2 uv, int c) {
    return textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.sprite)], LinearClamp), SpriteUv(uv), 0.0)[c];
}

void main() {
    const ivec2 local = ivec2(gl_GlobalInvocationID.xy);
    if (local.x >= pc.drawSize || local.y >= pc.drawSize) return;
    const ivec2 p = ivec2(pc.drawPosX, pc.drawPosY) + local;
    if (p.x < 0 || p.y < 0 || p.x >= pc.targetWidth || p.y >= pc.targetHeight) return;
    const float visibility = texelFetch(g_Textures2D[nonuniformEXT(pc.lumAve)], ivec2(0), 0).r;
    const float scale = pc.brightness * visibility;
    if (!(scale > 0.0)) return;
    const vec2 uv = (vec2(local) + 0.5) / float(pc.drawSize);
    const vec3 light = vec3(Channel(clamp(uv + pc.chromaticAberrationOffset, 0.0, 1.0), 0), Channel(uv, 1),
                            Channel(clamp(uv - pc.chromaticAberrationOffset, 0.0, 1.0), 2)) * scale;
    if (light == vec3(0.0)) return;
    const vec4 scene = imageLoad(g_Images[nonuniformEXT(pc.dest)], p);
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(scene.rgb + light, scene.a));
}

#endif
