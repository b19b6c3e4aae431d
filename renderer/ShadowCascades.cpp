#include "renderer/ShadowCascades.h"

#include <algorithm>
#include <cmath>

namespace ProjectTavrin {

namespace {

using Math::mat4;
using Math::vec3;
using Math::vec4;

// Right-handed off-centre orthographic projection with depth 0..1 (near at 0).
mat4 OrthographicOffCenterRH(float left, float right, float bottom, float top, float nearZ, float farZ) {
    mat4 m;
    m.m[0][0] = 2.0f / (right - left);
    m.m[1][1] = 2.0f / (top - bottom);
    m.m[2][2] = 1.0f / (nearZ - farZ);
    m.m[3][0] = (left + right) / (left - right);
    m.m[3][1] = (top + bottom) / (bottom - top);
    m.m[3][2] = nearZ / (nearZ - farZ);
    return m;
}

// Clip space to texture space: u = x / 2 + 1/2, v = 1/2 - y / 2, depth unchanged.
constexpr mat4 kTextureScaleBias(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1);

// The up vector of a light camera: the world's y, unless the sun stands (almost) straight above
// or below, where a look-at along y has no sideways axis; z serves then.
vec3 LightUp(vec3 sunDirection) {
    return std::abs(sunDirection.y) > 0.9999f ? vec3{0, 0, 1} : vec3{0, 1, 0};
}

bool Finite(vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool Finite(const mat4& m) {
    for (const auto& row : m.m)
        for (float v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

// The near and far corners of the four view rays through the corners of clip space.
struct ViewCorners {
    std::array<vec3, 4> nearCorners, directions;  // direction: unit length
};

ViewCorners CornersOf(const mat4& inverseViewProjection) {
    ViewCorners c;
    const float xy[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    for (int i = 0; i < 4; ++i) {
        const vec3 nearCorner = Math::TransformCoord({xy[i][0], xy[i][1], 0.0f}, inverseViewProjection);
        const vec3 farCorner = Math::TransformCoord({xy[i][0], xy[i][1], 1.0f}, inverseViewProjection);
        c.nearCorners[i] = nearCorner;
        c.directions[i] = Math::Normalize(farCorner - nearCorner);
    }
    return c;
}

}  // namespace

std::array<float, kMaxShadowCascades> CascadeSplitFractions(uint32_t count, float shadowDistance) {
    std::array<float, kMaxShadowCascades> splits{};
    count = std::clamp<uint32_t>(count, 1, kMaxShadowCascades);
    const float nearClip = 1.0f, farClip = shadowDistance, clipRange = farClip - nearClip;
    const float minZ = nearClip, maxZ = nearClip + 0.5f * clipRange;
    constexpr float kLambda = 0.8f;
    for (uint32_t i = 1; i <= count; ++i) {
        const float p = float(i) / float(count);
        const float logSplit = minZ * std::pow(maxZ / minZ, p);
        const float uniformSplit = minZ + (maxZ - minZ) * p;
        const float d = kLambda * (logSplit - uniformSplit) + uniformSplit;
        splits[i - 1] = (d - nearClip) / clipRange;
    }
    return splits;
}

bool FitShadowCascades(const ShadowParams& params, vec3 sunDirection, const mat4& viewProjection, ShadowCascadeFit& fit) {
    const vec3 sun = Math::Normalize(sunDirection);
    if (!Finite(sun) || Math::Dot(sun, sun) == 0.0f) return false;
    const float distance = params.Distance;
    if (!(distance > 1.0f) || !std::isfinite(distance)) return false;
    const mat4 inverse = Math::Inverse(viewProjection);
    if (!Finite(inverse)) return false;
    const ViewCorners corners = CornersOf(inverse);
    for (int i = 0; i < 4; ++i)
        if (!Finite(corners.nearCorners[i]) || !Finite(corners.directions[i])) return false;

    ShadowCascadeFit out;
    const vec3 up = LightUp(sun);

    // The global shadow space: a unit box around the whole shadowed range. Cascades reach it by
    // an offset and a scale, so a receiver transforms once and picks its cascade cheaply.
    vec3 centre{0, 0, 0};
    for (int i = 0; i < 4; ++i) centre = centre + corners.nearCorners[i] * 2.0f + corners.directions[i] * distance;
    centre = centre * 0.125f;
    const mat4 globalView = Math::LookAtRH(centre - sun * 0.5f, centre, up);
    const mat4 globalMatrix = globalView * OrthographicOffCenterRH(-0.5f, 0.5f, -0.5f, 0.5f, 0.0f, 1.0f) * kTextureScaleBias;
    out.data._ShadowMatrix = globalMatrix;

    const uint32_t count = std::clamp<uint32_t>(params.CascadeCount, 1, kMaxShadowCascades);
    const std::array<float, kMaxShadowCascades> splits = CascadeSplitFractions(count, distance);
    out.cascadeCount = count;
    float previousSplit = 0.0f;
    for (uint32_t j = 0; j < count; ++j) {
        const float split = splits[j];
        std::array<vec3, 8> slice;
        vec3 sliceCentre{0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            const vec3 ray = corners.directions[i] * distance;
            slice[i] = corners.nearCorners[i] + ray * previousSplit;
            slice[i + 4] = corners.nearCorners[i] + ray * split;
            sliceCentre = sliceCentre + slice[i] + slice[i + 4];
        }
        sliceCentre = sliceCentre * 0.125f;
        float radius = 0.0f;
        for (const vec3& p : slice) radius = std::max(radius, Math::Length(p - sliceCentre));
        radius = std::ceil(radius * 16.0f) / 16.0f;

        // Nearer cascades (smaller split) stand farther back, so casters far towards the sun
        // still fall inside their depth range.
        const vec3 eye = sliceCentre + sun * (radius / split);
        const mat4 view = Math::LookAtRH(eye, sliceCentre, up);
        mat4 projection = OrthographicOffCenterRH(-radius, radius, -radius, radius, 0.0f, 2.0f * radius / split);

        // Snap: move the projection so that the world origin lands on a whole texel; the texel
        // grid then only moves in whole texels as the camera moves.
        const float halfSize = float(kShadowMapSize) * 0.5f;
        const vec4 origin = Math::Transform(vec4{0, 0, 0, 1}, view * projection);
        const float ox = origin.x * halfSize, oy = origin.y * halfSize;
        projection.m[3][0] += (std::round(ox) - ox) * (2.0f / float(kShadowMapSize));
        projection.m[3][1] += (std::round(oy) - oy) * (2.0f / float(kShadowMapSize));
        const mat4 cascade = view * projection;
        out.cascadeMatrices[j] = cascade;
        out.centres[j] = sliceCentre;
        out.lightPositions[j] = eye;
        out.radii[j] = radius;
        out.data._CascadeSplits[j] = (distance - 1.0f) * split + 1.0f;

        // The cascade's texture-space box in global shadow space.
        const mat4 textureToGlobal = Math::Inverse(cascade * kTextureScaleBias) * globalMatrix;
        const vec3 corner0 = Math::TransformCoord({0, 0, 0}, textureToGlobal);
        const vec3 corner1 = Math::TransformCoord({1, 1, 1}, textureToGlobal);
        const vec3 extent = corner1 - corner0;
        out.data._CascadeOffsets[j] = vec4{-corner0.x, -corner0.y, -corner0.z, 0.0f};
        out.data._CascadeScales[j] = vec4{1.0f / extent.x, 1.0f / extent.y, 1.0f / extent.z, 1.0f};
        previousSplit = split;
    }
    if (!Finite(out.data._ShadowMatrix)) return false;
    for (uint32_t j = 0; j < count; ++j)
        if (!Finite(out.cascadeMatrices[j])) return false;

    out.data._OffsetScale = params.OffsetScale;
    out.data._LightBleedingReduction = params.LightBleedingReduction;
    out.data._FilterSize = params.FilterSize;
    out.data._VSMBias = params.VSMBias;
    out.data._PositiveExponent = params.PositiveExponent;
    out.data._NegativeExponent = params.NegativeExponent;
    fit = out;
    return true;
}

Engine::Shared::ShadowData ShadowDataForShaders(const Engine::Shared::ShadowData& data) {
    Engine::Shared::ShadowData out = data;
    out._ShadowMatrix = Math::Transpose(data._ShadowMatrix);
    return out;
}

}  // namespace ProjectTavrin
