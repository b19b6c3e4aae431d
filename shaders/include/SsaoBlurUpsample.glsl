// Screen-space occlusion, blur and upsample from one level to the next finer one. A group of
// 8 x 8 threads covers 16 x 16 fine pixels (from one pixel before its block, so the dispatch
// covers the fine image plus a border) and loads the 16 x 16 coarse texels around them into
// shared memory: the coarser of the two coarse estimates (their minimum), and its depth. These
// are blurred with a five-tap filter along the rows and then the columns that stops at a crease
// (where the depth's slope breaks), and each fine pixel takes the four coarse texels around it,
// weighted bilinearly and by how close their depth is to its own. Where none is close (an edge
// the coarse level does not see) the noise-filter weight pulls the result towards the fine
// level's own estimate, which the blend-out variant also multiplies in.
// The including shader defines TAVRIN_SSAO_BLEND_OUT as 0 or 1.
#ifndef TAVRIN_SSAO_BLUR_UPSAMPLE_GLSL
#define TAVRIN_SSAO_BLUR_UPSAMPLE_GLSL

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(SsaoBlurConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, r8) uniform writeonly image2D g_Images[];

const int kTile = 16;
// Depth steps are compared relative to the centre's depth, scaled so that a slope's angle
// against the texel step (pc.stepSize) measures how much it bends.
const float kDepthScale = 1000.0;

shared float s_Ao[kTile][kTile];
shared float s_Depth[kTile][kTile];
shared float s_Rows[kTile][kTile];

float LowFetch(uint slot, ivec2 p) {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(slot)], 0);
    return texelFetch(g_Textures2D[nonuniformEXT(slot)], clamp(p, ivec2(0), size - 1), 0).r;
}

// Whether the depth runs on from a through b to c as one surface: the two steps point the same
// way within the blur tolerance (a squared cosine).
bool Continues(float za, float zb, float zc) {
    const float d1 = (zb - za) / max(zb, 1e-6) * kDepthScale, d2 = (zc - zb) / max(zb, 1e-6) * kDepthScale;
    const float s2 = pc.stepSize * pc.stepSize;
    const float t = d1 * d2 + s2;
    return t > 0.0 && t * t > (d1 * d1 + s2) * (d2 * d2 + s2) * pc.blurTolerance;
}

// Five taps a b c d e around c, with their depths; taps past a crease drop out.
float SmartBlur(float a, float b, float c, float d, float e, float za, float zb, float zc, float zd, float ze) {
    float sum = c * 6.0, weight = 6.0;
    if (Continues(zd, zc, zb)) {
        sum += b * 4.0;
        weight += 4.0;
        if (Continues(zc, zb, za)) {
            sum += a;
            weight += 1.0;
        }
    }
    if (Continues(zb, zc, zd)) {
        sum += d * 4.0;
        weight += 4.0;
        if (Continues(zc, zd, ze)) {
            sum += e;
            weight += 1.0;
        }
    }
    return sum / weight;
}

void main() {
    const ivec2 local = ivec2(gl_LocalInvocationID.xy);
    const ivec2 group = ivec2(gl_WorkGroupID.xy);
    const ivec2 tileOrigin = group * 8 - 4;
    for (int i = 0; i < 4; ++i) {
        const ivec2 t = ivec2(local.x * 2 + (i & 1), local.y * 2 + (i >> 1));
        const ivec2 p = tileOrigin + t;
        s_Ao[t.y][t.x] = min(LowFetch(pc.loResAO1, p), LowFetch(pc.loResAO2, p));
        s_Depth[t.y][t.x] = LowFetch(pc.loResDepth, p);
    }
    barrier();
    for (int i = 0; i < 4; ++i) {
        const ivec2 t = ivec2(local.x * 2 + (i & 1), local.y * 2 + (i >> 1));
        float v = s_Ao[t.y][t.x];
        if (t.x >= 2 && t.x < kTile - 2) {
            const int y = t.y, x = t.x;
            v = SmartBlur(s_Ao[y][x - 2], s_Ao[y][x - 1], s_Ao[y][x], s_Ao[y][x + 1], s_Ao[y][x + 2], s_Depth[y][x - 2],
                          s_Depth[y][x - 1], s_Depth[y][x], s_Depth[y][x + 1], s_Depth[y][x + 2]);
        }
        s_Rows[t.y][t.x] = v;
    }
    barrier();
    for (int i = 0; i < 4; ++i) {
        const ivec2 t = ivec2(local.x * 2 + (i & 1), local.y * 2 + (i >> 1));
        float v = s_Rows[t.y][t.x];
        if (t.y >= 2 && t.y < kTile - 2) {
            const int y = t.y, x = t.x;
            v = SmartBlur(s_Rows[y - 2][x], s_Rows[y - 1][x], s_Rows[y][x], s_Rows[y + 1][x], s_Rows[y + 2][x],
                          s_Depth[y - 2][x], s_Depth[y - 1][x], s_Depth[y][x], s_Depth[y + 1][x], s_Depth[y + 2][x]);
        }
        s_Ao[t.y][t.x] = v;
    }
    barrier();

    const ivec2 destSize = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    const vec2 ratio = pc.invHighResolution / pc.invLowResolution;  // coarse texels per fine pixel
    for (int i = 0; i < 4; ++i) {
        const ivec2 p = group * 16 - 1 + local * 2 + ivec2(i & 1, i >> 1);
        if (any(lessThan(p, ivec2(0))) || any(greaterThanEqual(p, destSize))) continue;
        const float hiDepth = LowFetch(pc.hiResDepth, p);
        const vec2 u = (vec2(p) + 0.5) * ratio - 0.5;
        const ivec2 base = ivec2(floor(u));
        const vec2 f = u - vec2(base);
        float sum = 0.0, weight = 0.0;
        for (int k = 0; k < 4; ++k) {
            const ivec2 o = ivec2(k & 1, k >> 1);
            const ivec2 t = clamp(base + o - tileOrigin, ivec2(0), ivec2(kTile - 1));
            const float bilinear = (o.x == 1 ? f.x : 1.0 - f.x) * (o.y == 1 ? f.y : 1.0 - f.y);
            const float w = bilinear / (abs(hiDepth - s_Depth[t.y][t.x]) + pc.upsampleTolerance);
            sum += s_Ao[t.y][t.x] * w;
            weight += w;
        }
        float ao = (sum + pc.noiseFilterStrength) / (weight + pc.noiseFilterStrength);
#if TAVRIN_SSAO_BLEND_OUT
        ao *= LowFetch(pc.hiResAO, p);
#endif
        imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(ao));
    }
}

#endif
