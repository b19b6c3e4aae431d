#include "tools/generators/demo/MeshKit.h"

#include <algorithm>
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

uint32_t MeshKit::Vertex(vec3 position, vec3 normal, vec2 uv, int32_t bone, int32_t boneB, float weightA) {
    Vesma::PMXVertex v;
    v.position = position;
    v.normal = normal;
    v.uv = uv;
    if (boneB < 0 || boneB == bone || weightA >= 1.0f) {
        v.weightType = Vesma::PMXVertexWeight::BDEF1;
        v.boneIndices = {bone, -1, -1, -1};
        v.boneWeights = {1, 0, 0, 0};
    } else {
        v.weightType = Vesma::PMXVertexWeight::BDEF2;
        v.boneIndices = {bone, boneB, -1, -1};
        v.boneWeights = {weightA, 1.0f - weightA, 0, 0};
    }
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

VertexRange MeshKit::Tube(int material, const std::vector<TubeRing>& rings, vec3 side, int slices, int capRings) {
    VertexRange range{static_cast<uint32_t>(m_file.vertices.size()), 0};
    if (rings.size() < 2 || slices < 3) return range;
    const size_t n = rings.size();
    const auto axisAt = [&](size_t i) {
        const vec3 d = rings[std::min(i + 1, n - 1)].centre - rings[i == 0 ? 0 : i - 1].centre;
        return Math::Normalize(d);
    };
    // The rings with the caps added: a quarter circle of shrinking rings past each end, down to a
    // pole of radius zero. Each cap ring keeps its end ring's bones.
    struct Ring {
        TubeRing shape;
        vec3 axis;
    };
    std::vector<Ring> all;
    const auto cap = [&](size_t end, float direction, bool outward) {
        const TubeRing& r = rings[end];
        const vec3 axis = axisAt(end);
        const float length = std::min(r.across, r.deep);
        for (int k = 1; k <= capRings; ++k) {
            const int step = outward ? k : capRings + 1 - k;
            const float angle = 0.5f * kPi * static_cast<float>(step) / static_cast<float>(capRings);
            Ring ring{r, axis};
            ring.shape.centre = r.centre + axis * (direction * length * std::sin(angle));
            ring.shape.across = r.across * std::cos(angle);
            ring.shape.deep = r.deep * std::cos(angle);
            if (step == capRings) ring.shape.across = ring.shape.deep = 0.0f;
            all.push_back(ring);
        }
    };
    cap(0, -1.0f, false);
    for (size_t i = 0; i < n; ++i) all.push_back({rings[i], axisAt(i)});
    cap(n - 1, 1.0f, true);

    const int rows = static_cast<int>(all.size());
    std::vector<vec3> points(static_cast<size_t>(rows) * static_cast<size_t>(slices));
    for (int r = 0; r < rows; ++r) {
        const Ring& ring = all[static_cast<size_t>(r)];
        vec3 x = side - ring.axis * Math::Dot(side, ring.axis);
        if (Math::Length(x) < 1e-4f) x = Math::Cross(ring.axis, vec3{0, 0, 1});
        x = Math::Normalize(x);
        const vec3 z = Math::Cross(x, ring.axis);
        for (int i = 0; i < slices; ++i) {
            const float theta = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(slices);
            points[static_cast<size_t>(r * slices + i)] =
                ring.shape.centre + x * (ring.shape.across * std::cos(theta)) + z * (ring.shape.deep * std::sin(theta));
        }
    }
    const auto point = [&](int i, int r) {
        return points[static_cast<size_t>(std::clamp(r, 0, rows - 1) * slices + ((i % slices) + slices) % slices)];
    };
    // Normals from the surface: across the ring times along the tube, turned outwards; at the
    // poles, along the tube.
    for (int r = 0; r < rows; ++r) {
        const Ring& ring = all[static_cast<size_t>(r)];
        for (int i = 0; i <= slices; ++i) {
            const vec3 p = point(i, r);
            vec3 normal = Math::Cross(point(i + 1, r) - point(i - 1, r), point(i, r + 1) - point(i, r - 1));
            if (Math::Length(normal) < 1e-6f) {
                normal = r < rows / 2 ? -ring.axis : ring.axis;
            } else {
                normal = Math::Normalize(normal);
                if (Math::Dot(normal, p - ring.shape.centre) < 0.0f) normal = -normal;
            }
            Vertex(p, normal, {static_cast<float>(i) / static_cast<float>(slices), static_cast<float>(r) / static_cast<float>(rows - 1)},
                   ring.shape.boneA, ring.shape.boneB, ring.shape.weightA);
        }
    }
    const auto at = [&](int i, int r) { return range.first + static_cast<uint32_t>(r * (slices + 1) + i); };
    // The winding that faces out, taken from a quad in the middle of the tube.
    const int middle = rows / 2;
    const vec3 a = point(0, middle), b = point(1, middle), c = point(0, middle + 1);
    const bool flip = Math::Dot(Math::Cross(b - a, c - a), a - all[static_cast<size_t>(middle)].shape.centre) < 0.0f;
    for (int r = 0; r + 1 < rows; ++r) {
        for (int i = 0; i < slices; ++i) {
            const uint32_t p00 = at(i, r), p10 = at(i + 1, r), p01 = at(i, r + 1), p11 = at(i + 1, r + 1);
            // Triangles that collapse onto a pole are left out.
            if (r != 0) flip ? Triangle(material, p00, p01, p10) : Triangle(material, p00, p10, p01);
            if (r + 2 != rows) flip ? Triangle(material, p10, p01, p11) : Triangle(material, p10, p11, p01);
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
