#version 460
// Shadow casters: depth only; texels of the diffuse texture below the clip cast no shadow.
#include "Bindless.glsl"
#include "shared/ShadowData.h"

TAVRIN_PUSH_CONSTANTS(ShadowCasterConstants, pc)

layout(set = 1, binding = 0) uniform sampler texSampler;  // linear, mip point, wrap

layout(location = 0) in vec2 inTexCoord;

void main() {
    if (pc.texDiffuse != 0xffffffffu) {
        const float alpha = texture(sampler2D(g_Textures2D[nonuniformEXT(pc.texDiffuse)], texSampler), inTexCoord).a;
        if (alpha < pc.alphaClip) discard;
    }
}
