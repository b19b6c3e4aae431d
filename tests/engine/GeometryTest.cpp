#include "Engine/SimpleGeometry/Geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace Engine;

TEST(Geometry, PlaneCornersTexcoordsAndWinding) {
    std::vector<GeometryVertex> vertices(3);  // stale content must go
    std::vector<uint32_t> indices(9, 7);
    Geometry::MakePlane(vertices, indices, 2.0f, 4.0f);
    ASSERT_EQ(vertices.size(), 4u);
    EXPECT_EQ(indices, (std::vector<uint32_t>{2, 1, 0, 3, 2, 0}));
    struct Corner {
        float x, z, u, v;
    };
    // Texture coordinates after the u flip.
    const Corner corners[] = {{-1, 2, 0, 0}, {-1, -2, 0, 1}, {1, -2, 1, 1}, {1, 2, 1, 0}};
    for (size_t i = 0; i < 4; ++i) {
        const GeometryVertex& v = vertices[i];
        EXPECT_EQ(v.position.x, corners[i].x) << i;
        EXPECT_EQ(v.position.y, 0.0f) << i;
        EXPECT_EQ(v.position.z, corners[i].z) << i;
        EXPECT_EQ(v.prevPosition.x, v.position.x) << i;
        EXPECT_EQ(v.prevPosition.z, v.position.z) << i;
        EXPECT_EQ(v.normal.y, 1.0f) << i;
        EXPECT_EQ(v.uv.x, corners[i].u) << i;
        EXPECT_EQ(v.uv.y, corners[i].v) << i;
    }
}

TEST(Geometry, SphereCountsPolesAndSeam) {
    std::vector<GeometryVertex> vertices;
    std::vector<uint32_t> indices;
    const float diameter = 32768.0f, r = diameter / 2;
    Geometry::MakeSphere(vertices, indices, diameter);
    ASSERT_EQ(vertices.size(), 20301u);
    ASSERT_EQ(indices.size(), 120600u);
    EXPECT_LT(*std::max_element(indices.begin(), indices.end()), 20301u);

    const float tolerance = r * 1e-6f;
    for (size_t j = 0; j <= 200; ++j) {
        const GeometryVertex& south = vertices[j];
        const GeometryVertex& north = vertices[100 * 201 + j];
        EXPECT_NEAR(south.position.x, 0.0f, tolerance);
        EXPECT_NEAR(south.position.y, -r, tolerance);
        EXPECT_NEAR(south.position.z, 0.0f, tolerance);
        EXPECT_NEAR(north.position.y, r, tolerance);
        EXPECT_FLOAT_EQ(south.uv.y, 1.0f);
        EXPECT_FLOAT_EQ(north.uv.y, 0.0f);
    }
    for (size_t i = 0; i <= 100; ++i) {
        const GeometryVertex& first = vertices[i * 201];
        const GeometryVertex& seam = vertices[i * 201 + 200];
        EXPECT_NEAR(seam.position.x, first.position.x, tolerance) << i;
        EXPECT_NEAR(seam.position.z, first.position.z, tolerance) << i;
        EXPECT_EQ(first.uv.x, 1.0f) << i;  // u = 0 before the flip
        EXPECT_EQ(seam.uv.x, 0.0f) << i;   // u = 1 before the flip
    }
    // Equator, a quarter turn: longitude π/2 is +x.
    const GeometryVertex& equator = vertices[50 * 201 + 50];
    EXPECT_NEAR(equator.position.x, r, tolerance);
    EXPECT_NEAR(equator.position.y, 0.0f, tolerance);
    EXPECT_NEAR(equator.normal.x, 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(equator.uv.x, 0.75f);
    EXPECT_FLOAT_EQ(equator.uv.y, 0.5f);
    for (const GeometryVertex& v : vertices) {
        const float length = std::sqrt(v.normal.x * v.normal.x + v.normal.y * v.normal.y + v.normal.z * v.normal.z);
        ASSERT_NEAR(length, 1.0f, 1e-5f);
        ASSERT_EQ(v.prevPosition.x, v.position.x);
    }
    // First quad of the first ring, after swapping each triangle's first and third index.
    EXPECT_EQ(std::vector<uint32_t>(indices.begin(), indices.begin() + 6), (std::vector<uint32_t>{1, 201, 0, 202, 201, 1}));
    // The last column of each ring wraps to index 0 of the same ring.
    EXPECT_EQ(indices[200 * 6], 0u);

    // Calling again starts from empty lists.
    Geometry::MakeSphere(vertices, indices, 2.0f);
    EXPECT_EQ(vertices.size(), 20301u);
    EXPECT_EQ(indices.size(), 120600u);
}

TEST(Geometry, FlipWindingSwapsEndsAndMirrorsU) {
    std::vector<uint32_t> indices = {0, 1, 2, 3, 4, 5};
    std::vector<GeometryVertex> vertices(2);
    vertices[0].uv = {0.25f, 0.5f};
    vertices[1].uv = {1.0f, 0.0f};
    Geometry::FlipWinding(indices, vertices);
    EXPECT_EQ(indices, (std::vector<uint32_t>{2, 1, 0, 5, 4, 3}));
    EXPECT_EQ(vertices[0].uv.x, 0.75f);
    EXPECT_EQ(vertices[0].uv.y, 0.5f);
    EXPECT_EQ(vertices[1].uv.x, 0.0f);
}
