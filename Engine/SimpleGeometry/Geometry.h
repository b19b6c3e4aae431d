#pragma once
// Meshes generated on the CPU for the renderer: the sky sphere and the ocean plane. Both come
// in the model vertex layout with 32-bit indices and are uploaded by their users.
#include "core/Math.h"

#include <cstdint>
#include <vector>

namespace Engine {

/// The model vertex layout (44 bytes): position, previous position (the same for static
/// meshes), normal, texture coordinate.
struct GeometryVertex {
    Math::vec3 position;
    Math::vec3 prevPosition;
    Math::vec3 normal;
    Math::vec2 uv;
};
static_assert(sizeof(GeometryVertex) == 44, "GeometryVertex must match the model vertex layout");

namespace Geometry {

/// Every index stays below this value.
constexpr uint32_t kIndexLimit = 65535;

/// A flat rectangle in the y = 0 plane, facing +y, centred on the origin: `width` along x and
/// `depth` along z. 4 vertices, 2 triangles. Both lists are emptied first.
void MakePlane(std::vector<GeometryVertex>& vertices, std::vector<uint32_t>& indices, float width, float depth);

/// A UV sphere of the given diameter around the origin, 100 rings by 200 segments, with the
/// seam column repeated: 101 × 201 vertices, 120,600 indices. Both lists are emptied first.
void MakeSphere(std::vector<GeometryVertex>& vertices, std::vector<uint32_t>& indices, float diameter);

/// Reverses every triangle (first and third index swapped) and mirrors u (u := 1 − u), turning
/// the generators' output into the renderer's winding.
void FlipWinding(std::vector<uint32_t>& indices, std::vector<GeometryVertex>& vertices);

}  // namespace Geometry
}  // namespace Engine
