#pragma once
// The compact per-vertex records the CPU skinning loop reads, built once at load.
//
// Building them already resolves every fault of the file's weights, so the loop checks nothing
// per vertex: a bone index that names no node (-1 or out of range) contributes nothing, a slot of
// weight 0 is dropped, and a vertex left without a bone follows the placement alone. For that the
// frame's matrix table has two slots past the nodes: the placement and a zero matrix.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace Vesma {

struct ModelVertex;
struct VertexSkin;

/// How the loop reads a vertex's record.
enum class SkinKind : uint8_t {
    Blend1 = 0,  // weight 0 times matrix slot 0
    Blend2 = 1,  // slots 0-1
    Blend4 = 2,  // slots 0-3
    Sdef = 3,    // bones in slots 0-1 with weights w and 1 - w; slot 2 indexes the SDEF points
    Qdef = 4,    // four bones (kNoBone where the index names no node) blended as dual quaternions
};

/// One vertex's bones and weights (32 bytes). Bone values are matrix slots.
struct alignas(16) SkinRecord {
    uint32_t bones[4] = {0, 0, 0, 0};
    float weights[4] = {0, 0, 0, 0};
};
static_assert(sizeof(SkinRecord) == 32);

/// The SDEF centre C and the two points P0, P1 of one SDEF vertex (the fourth lanes are 0).
struct alignas(16) SdefRecord {
    float c[4] = {0, 0, 0, 0};
    float p0[4] = {0, 0, 0, 0};
    float p1[4] = {0, 0, 0, 0};
};

/// One rest vertex as the loop reads it (32 bytes).
struct alignas(16) RestRecord {
    float position[3];
    float normal[3];
    float uv[2];
};
static_assert(sizeof(RestRecord) == 32);

/// Marks a QDEF slot whose index names no node.
constexpr uint32_t kNoBone = 0xFFFFFFFFu;

/// Everything the loop reads that stays fixed after load.
struct SkinLayout {
    std::vector<RestRecord> rest;
    std::vector<SkinRecord> records;
    std::vector<SkinKind> kinds;
    std::vector<SdefRecord> sdef;
    uint32_t nodeCount = 0;
    bool hasSdef = false;
    bool hasQdef = false;

    uint32_t PlacementSlot() const { return nodeCount; }
    uint32_t ZeroSlot() const { return nodeCount + 1; }
    /// Matrix table size: the nodes, the placement, the zero matrix.
    std::size_t MatrixCount() const { return std::size_t{nodeCount} + 2; }
};

/// Builds the records from the rest vertices and their skins (one each) for a model of
/// `nodeCount` nodes.
void BuildSkinLayout(std::span<const ModelVertex> rest, std::span<const VertexSkin> skins, std::size_t nodeCount,
                     SkinLayout& out);

}  // namespace Vesma
