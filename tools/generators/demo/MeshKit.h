#pragma once
// Solids for generated models, collected per material so that every material's triangles end up
// in one range: oriented boxes and capsules bound whole to one bone (BDEF1), and smooth tubes of
// elliptic cross-sections whose vertices blend between two bones (BDEF2), so a body bends at
// its joints instead of breaking there.
//
// Coordinates are the PMX file's own (left-handed, y up). Triangles are wound so that
// cross(b - a, c - a) points out of the solid, the front-face order of PMX files.
#include <cstdint>
#include <vector>

#include "model/io/PMXFile.h"

namespace DemoScene {

/// The vertices of one solid: [first, first + count) in the file's vertex list.
struct VertexRange {
    uint32_t first = 0;
    uint32_t count = 0;
};

/// One cross-section of a tube: an ellipse around `centre` with radius `across` along the tube's
/// side direction and `deep` along the third axis. Its vertices follow `boneA` by `weightA` and
/// `boneB` by the rest (boneB -1: boneA alone).
struct TubeRing {
    Math::vec3 centre;
    float across = 1.0f;
    float deep = 1.0f;
    int32_t boneA = -1;
    int32_t boneB = -1;
    float weightA = 1.0f;
};

class MeshKit {
public:
    MeshKit(Vesma::PMXFile& file, size_t materialCount) : m_file(file), m_faces(materialCount) {}

    /// A box centred on `centre` with half-extents `half` along a right-handed frame whose y axis
    /// is `up` (its x axis is chosen across `up`, towards `side` where possible).
    VertexRange Box(int material, int32_t bone, Math::vec3 centre, Math::vec3 half, Math::vec3 up = {0, 1, 0},
                    Math::vec3 side = {1, 0, 0});
    /// A box from `from` to `to` (its y axis), `halfWidth` across and `halfDepth` deep.
    VertexRange BoxBetween(int material, int32_t bone, Math::vec3 from, Math::vec3 to, float halfWidth,
                           float halfDepth);
    /// A capsule whose hemisphere centres are `from` and `to`.
    VertexRange Capsule(int material, int32_t bone, Math::vec3 from, Math::vec3 to, float radius, int slices = 12,
                        int halfStacks = 4);

    /// A smooth tube through `rings` (at least two), closed at both ends by rounded caps of
    /// `capRings` rings each. The side direction of every ring is `side` made square to the
    /// tube; normals come from the surface itself.
    VertexRange Tube(int material, const std::vector<TubeRing>& rings, Math::vec3 side, int slices = 24,
                     int capRings = 5);

    /// Writes the faces material by material and sets each material's face-vertex count. Call once,
    /// after the materials are in the file.
    void Finish();

private:
    uint32_t Vertex(Math::vec3 position, Math::vec3 normal, Math::vec2 uv, int32_t bone, int32_t boneB = -1,
                    float weightA = 1.0f);
    void Triangle(int material, uint32_t a, uint32_t b, uint32_t c);

    Vesma::PMXFile& m_file;
    std::vector<std::vector<Vesma::PMXFace>> m_faces;
};

}  // namespace DemoScene
