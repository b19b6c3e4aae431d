#include "Engine/SimpleGeometry/Geometry.h"

#include <cassert>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace Engine::Geometry {
namespace {

void AddIndex(std::vector<uint32_t>& indices, size_t value) {
    if (value >= kIndexLimit) throw std::out_of_range("Index value out of range: cannot tesselate primitive so finely");
    indices.push_back(static_cast<uint32_t>(value));
}

GeometryVertex MakeVertex(Math::vec3 position, Math::vec3 normal, Math::vec2 uv) {
    return GeometryVertex{position, position, normal, uv};
}

}  // namespace

void MakePlane(std::vector<GeometryVertex>& vertices, std::vector<uint32_t>& indices, float width, float depth) {
    vertices.clear();
    indices.clear();
    const Math::vec3 half(width / 2, 0.0f, depth / 2);
    const Math::vec3 normal(0, 1, 0);
    // Corners n ± s1 ± s2 scaled by `half`, for s1 = +x and s2 = n × s1 = −z.
    const size_t base = vertices.size();
    vertices.push_back(MakeVertex({-half.x, 0, half.z}, normal, {1, 0}));
    vertices.push_back(MakeVertex({-half.x, 0, -half.z}, normal, {1, 1}));
    vertices.push_back(MakeVertex({half.x, 0, -half.z}, normal, {0, 1}));
    vertices.push_back(MakeVertex({half.x, 0, half.z}, normal, {0, 0}));
    for (size_t offset : {0, 1, 2, 0, 2, 3}) AddIndex(indices, base + offset);
    FlipWinding(indices, vertices);
}

void MakeSphere(std::vector<GeometryVertex>& vertices, std::vector<uint32_t>& indices, float diameter) {
    constexpr size_t kVerticalSegments = 100;
    constexpr size_t kHorizontalSegments = 200;
    constexpr size_t kStride = kHorizontalSegments + 1;
    vertices.clear();
    indices.clear();
    const float radius = diameter / 2;

    vertices.reserve((kVerticalSegments + 1) * kStride);
    for (size_t i = 0; i <= kVerticalSegments; ++i) {
        const float v = 1.0f - static_cast<float>(i) / kVerticalSegments;
        const float latitude = static_cast<float>(i) * Math::kPi / kVerticalSegments - Math::kPi / 2;
        const float dy = std::sin(latitude);
        const float dxz = std::cos(latitude);
        for (size_t j = 0; j <= kHorizontalSegments; ++j) {
            const float u = static_cast<float>(j) / kHorizontalSegments;
            const float longitude = static_cast<float>(j) * 2 * Math::kPi / kHorizontalSegments;
            const Math::vec3 normal(std::sin(longitude) * dxz, dy, std::cos(longitude) * dxz);
            const Math::vec3 position(normal.x * radius, normal.y * radius, normal.z * radius);
            vertices.push_back(MakeVertex(position, normal, {u, v}));
        }
    }

    indices.reserve(kVerticalSegments * kStride * 6);
    for (size_t i = 0; i < kVerticalSegments; ++i) {
        for (size_t j = 0; j <= kHorizontalSegments; ++j) {
            const size_t nextJ = (j + 1) % kStride;
            AddIndex(indices, i * kStride + j);
            AddIndex(indices, (i + 1) * kStride + j);
            AddIndex(indices, i * kStride + nextJ);
            AddIndex(indices, i * kStride + nextJ);
            AddIndex(indices, (i + 1) * kStride + j);
            AddIndex(indices, (i + 1) * kStride + nextJ);
        }
    }
    FlipWinding(indices, vertices);
}

void FlipWinding(std::vector<uint32_t>& indices, std::vector<GeometryVertex>& vertices) {
    assert((indices.size() % 3) == 0);
    for (size_t t = 0; t + 2 < indices.size(); t += 3) std::swap(indices[t], indices[t + 2]);
    for (GeometryVertex& vertex : vertices) vertex.uv.x = 1.0f - vertex.uv.x;
}

}  // namespace Engine::Geometry
