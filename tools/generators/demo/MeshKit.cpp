#include "tools/generators/demo/MeshKit.h"

#include <cmath>

namespace DemoScene {

using Math::vec2;
using Math::vec3;

namespace {

constexpr float kPi = 3.14159265358979323846f;

// A right-handed frame (x cross y == z) whose y axis is `up`.
struct Frame {
    vec3 x, y, z;
};

Frame FrameAround(vec3 up, vec3 side) {
    const vec3 y = Math::Normalize(up);
    vec3 z = Math::Cross(side, y);
    if (Math::Length(z) < 1e-4f) z = Math::Cross(vec3{0, 0, 1}, y);
    if (Math::Length(z) < 1e-4f) z = Math::Cross(vec3{1, 0, 0}, y);
    z = Math::Normalize(z);
    return {Math::Cross(y, z), y, z};
}

}  // namespace

uint32_t MeshKit::Vertex(vec3 position, vec3 normal, vec2 uv, int32_t bone) {
    Vesma::PMXVertex v;
    v.position = position;
    v.normal = normal;
    v.uv = uv;
    v.weightType = Vesma::PMXVertexWeight::BDEF1;
    v.boneIndices = {bone, -1, -1, -1};
    v.boneWeights = {1, 0, 0, 0};
    v.edgeScale = 1.0f;
    m_file.vertices.push_back(v);
    return static_cast<uint32_t>(m_file.vertices.size() - 1);
}

void MeshKit::Triangle(int material, uint32_t a, uint32_t b, uint32_t c) {
    m_faces[static_cast<size_t>(material)].push_back(Vesma::PMXFace{{a, b, c}});
}

VertexRange MeshKit::Box(int material, int32_t bone, vec3 centre, vec3 half, vec3 up, vec3 side) {
    const Frame f = FrameAround(up, side);
    const vec3 axes[3] = {f.x * half.x, f.y * half.y, f.z * half.z};
    VertexRange range{static_cast<uint32_t>(m_file.vertices.size()), 24};
    // For the face along +axis i the tangents are axes i+1 and i+2 (their cross product points
    // out); along -axis i they swap.
    for (int i = 0; i < 3; ++i) {
        for (const float sign : {1.0f, -1.0f}) {
            const vec3 n = axes[i] * sign;
            const vec3 s = sign > 0 ? axes[(i + 1) % 3] : axes[(i + 2) % 3];
            const vec3 t = sign > 0 ? axes[(i + 2) % 3] : axes[(i + 1) % 3];
            const vec3 c = centre + n;
            const vec3 normal = Math::Normalize(n);
            const uint32_t a = Vertex(c - s - t, normal, {0, 1}, bone);
            const uint32_t b = Vertex(c + s - t, normal, {1, 1}, bone);
            const uint32_t d = Vertex(c + s + t, normal, {1, 0}, bone);
            const uint32_t e = Vertex(c - s + t, normal, {0, 0}, bone);
            Triangle(material, a, b, d);
            Triangle(material, a, d, e);
        }
    }
    return range;
}

VertexRange MeshKit::BoxBetween(int material, int32_t bone, vec3 from, vec3 to, float halfWidth, float halfDepth) {
    const vec3 axis = to - from;
    return Box(material, bone, (from + to) * 0.5f, {halfWidth, Math::Length(axis) * 0.5f, halfDepth}, axis);
}

VertexRange MeshKit::Capsule(int material, int32_t bone, vec3 from, vec3 to, float radius, int slices,
                             int halfStacks) {
    const Frame f = FrameAround(to - from, {1, 0, 0});
    VertexRange range{static_cast<uint32_t>(m_file.vertices.size()), 0};
    // Rings from the pole over `to` down to the pole under `from`; the two equator rings (one per
    // hemisphere centre) enclose the straight part.
    const int rings = 2 * (halfStacks + 1);
    for (int r = 0; r < rings; ++r) {
        const bool top = r <= halfStacks;
        const int k = top ? r : r - 1;
        const float phi = kPi * static_cast<float>(k) / static_cast<float>(2 * halfStacks);
        const vec3 centre = top ? to : from;
        for (int i = 0; i <= slices; ++i) {
            const float theta = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(slices);
            const vec3 n = f.x * (std::sin(phi) * std::cos(theta)) + f.y * std::cos(phi) +
                           f.z * (std::sin(phi) * std::sin(theta));
            Vertex(centre + n * radius, n,
                   {static_cast<float>(i) / static_cast<float>(slices),
                    static_cast<float>(r) / static_cast<float>(rings - 1)},
                   bone);
        }
    }
    const auto at = [&](int i, int r) { return range.first + static_cast<uint32_t>(r * (slices + 1) + i); };
    for (int r = 0; r + 1 < rings; ++r) {
        for (int i = 0; i < slices; ++i) {
            // Around then down keeps the winding outward; triangles that collapse onto a pole are
            // left out.
            if (r != 0) Triangle(material, at(i, r), at(i + 1, r), at(i, r + 1));
            if (r != rings - 2) Triangle(material, at(i + 1, r), at(i + 1, r + 1), at(i, r + 1));
        }
    }
    range.count = static_cast<uint32_t>(m_file.vertices.size()) - range.first;
    return range;
}

void MeshKit::Finish() {
    for (size_t m = 0; m < m_faces.size() && m < m_file.materials.size(); ++m) {
        m_file.faces.insert(m_file.faces.end(), m_faces[m].begin(), m_faces[m].end());
        m_file.materials[m].numFaceVertices = static_cast<int32_t>(m_faces[m].size() * 3);
    }
}

}  // namespace DemoScene
