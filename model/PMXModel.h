#pragma once
// One loaded character on the CPU: the rest vertices and their skins, the index list, the node
// tree, IK solvers, morphs and physics built from a PMX file, and the per-frame update that poses
// the nodes and skins the vertices into the output vertex list.
//
// Per frame, in this order: BeginAnimation; the motion's Evaluate (VMDModelAnimation);
// UpdateMorphsAndNodes; EndUpdateHook on every node (EndUpdate); StepPhysics or ResetPhysics
// (each ending with the bones that deform after physics), or UpdateAfterPhysicsNodes alone;
// UpdateVertices. ModelFrame runs these in order for one frame. The model needs no GPU: the
// renderer reads the output vertices, the index list and the per-material morph results once the
// frame has run.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Math.h"
#include "model/ik/IkLaneSolver.h"
#include "model/ik/MMDIKManager.h"
#include "model/morph/MMDMorphManager.h"
#include "model/skeleton/MMDNodeManager.h"
#include "model/morph/MaterialMorph.h"
#include "model/skeleton/AfterPhysicsBones.h"
#include "model/skeleton/NodePassSchedule.h"
#include "model/io/PMXFile.h"
#include "model/skin/VertexSkinning.h"

namespace Vesma {

class ModelPhysics;
class SkinningPool;

/// One vertex as the renderer receives it (44 bytes).
struct ModelVertex {
    Math::vec3 position;
    Math::vec3 previousPosition;
    Math::vec3 normal;
    Math::vec2 uv;
};
static_assert(sizeof(ModelVertex) == 44, "ModelVertex is the renderer's 44-byte vertex layout");

enum class SkinType : int32_t { BDEF1 = 0, BDEF2 = 1, BDEF4 = 2, SDEF = 3, QDEF = 4 };

/// How one vertex follows the bones. SDEF vertices use the SDEF fields, the other types the four
/// indices and weights. Positions are in model space.
struct VertexSkin {
    SkinType weightType = SkinType::BDEF1;
    std::array<int32_t, 4> boneIndices{-1, -1, -1, -1};
    std::array<float, 4> weights{};
    int32_t sdefBoneIndex0 = -1;
    int32_t sdefBoneIndex1 = -1;
    float sdefWeight = 0.0f;
    Math::vec3 sdefC;
    Math::vec3 sdefP0;
    Math::vec3 sdefP1;
};

/// A contiguous run of vertices that one worker skins.
struct UpdateRange {
    std::size_t vertexOffset = 0;
    std::size_t vertexCount = 0;
};

/// What the model keeps of a PMX material: its name, its own values (which material morphs start
/// from) and the slice of the index list it draws.
struct ModelMaterial {
    std::u16string name;
    PMXMaterial source;  // the file's values; names and memo are in `name` only
    uint32_t beginIndex = 0;
    uint32_t indexCount = 0;
};

/// The ranges of the parallel skinning for `vertexCount` vertices and `workerCount` workers: runs
/// of 1000 vertices while there are fewer than 1000 per worker (the rest of the ranges empty),
/// else equal shares with the remainder in range 0.
std::vector<UpdateRange> SplitUpdateRanges(std::size_t vertexCount, std::size_t workerCount);

class PMXModel {
public:
    PMXModel();
    virtual ~PMXModel();
    PMXModel(const PMXModel&) = delete;
    PMXModel& operator=(const PMXModel&) = delete;

    /// Builds the model from the PMX or PMD file at `path`, or from the built-in sample when `path` is
    /// "<Sample>". Returns false when the file can't be read (the reader logged why) or its physics
    /// can't be built; the model then holds what was built so far.
    bool Load(const std::u16string& path);
    /// The same from a PMX file already read (the record is consumed); `path` names the model.
    bool Load(PMXFile&& file, const std::u16string& path);
    /// Empties the model.
    void Clear();

    /// Placement in the scene: roll about z, pitch about x, yaw about y (radians), then the move.
    /// Takes effect at the next UpdateVertices.
    void SetPlacement(const Math::vec3& rotation, const Math::vec3& translation);
    const Math::mat4& GetPlacement() const { return m_placement; }
    const Math::vec3& GetPlacementRotation() const { return m_placementRotation; }
    const Math::vec3& GetPlacementTranslation() const { return m_placementTranslation; }

    // ---- per frame ----
    /// Every node back to its rest values; the morph offsets of the last frame stop counting: the
    /// next morph pass replaces them, and UpdateVertices or ResetPose without a pass zeroes them.
    void BeginAnimation();
    /// Morphs, local transforms, roots, append and IK over the nodes by deform layer, roots again.
    /// Bones that deform after physics get their local transform here, their append and IK later.
    void UpdateMorphsAndNodes();
    /// EndUpdateHook on every node.
    void EndUpdate();
    /// Physics: advance by `elapsed` seconds, or put every body back on its bone; either ends with
    /// UpdateAfterPhysicsNodes.
    void StepPhysics(float elapsed);
    void ResetPhysics();
    /// The append updates and IK solves of the bones that deform after physics (bone flag 0x1000),
    /// in deform-layer order, each followed by its subtree. StepPhysics and ResetPhysics end with
    /// this; a frame that leaves physics alone calls it itself. Nothing to do for most models.
    void UpdateAfterPhysicsNodes();
    /// Skins every vertex into the output list (spread over the worker pool).
    void UpdateVertices();

    /// The rest pose with every morph at 0 and every IK solver on; the base animation cleared and
    /// the physics reset.
    void ResetPose();
    /// Base animation := the current animate values, morph weights and IK enables.
    void SaveBaseAnimation();
    /// Base animation := zero translation, identity rotation, morph weight 0, IK on.
    void ClearBaseAnimation();

    // ---- parallel skinning ----
    /// Worker count for the skinning (at least 1). The ranges are rebuilt at the next
    /// UpdateVertices.
    void SetWorkerCount(std::size_t count);
    std::size_t GetWorkerCount() const { return m_workerCount; }
    const std::vector<UpdateRange>& GetUpdateRanges() const { return m_updateRanges; }

    // ---- data ----
    const std::u16string& GetModelName() const { return m_modelName; }
    const std::u16string& GetModelPath() const { return m_modelPath; }
    /// Texture paths: the model directory joined with each name (a leading "./" dropped).
    const std::vector<std::u16string>& GetTexturePaths() const { return m_texturePaths; }
    /// The texture paths a model loaded from `file` at `path` will have, known as soon as the
    /// file is parsed (the scene loader starts decoding them while the model is built).
    static std::vector<std::u16string> TexturePathsOf(const PMXFile& file, const std::u16string& path);
    const std::vector<ModelVertex>& GetRestVertices() const { return m_restVertices; }
    const std::vector<ModelVertex>& GetOutputVertices() const { return m_outputVertices; }
    const std::vector<VertexSkin>& GetVertexSkins() const { return m_vertexSkins; }
    /// Per vertex, the factor of its materials' outline width (the file's edge scale; 0 where
    /// the file's value is negative or not a number).
    const std::vector<float>& GetVertexEdgeScales() const { return m_edgeScales; }
    const std::vector<uint32_t>& GetIndices() const { return m_indices; }
    uint8_t GetVertexIndexSize() const { return m_vertexIndexSize; }
    const std::vector<ModelMaterial>& GetMaterials() const { return m_materials; }
    /// Per material, the morphed colours, outline and texture factors of the current frame.
    const std::vector<MaterialMorphResult>& GetMaterialMorphResults() const { return m_materialResults; }
    /// Per vertex, as the last morph pass left them (zero where no morph wrote).
    const std::vector<Math::vec3>& GetMorphPositionOffsets() const { return m_morphPositions; }
    const std::vector<Math::vec4>& GetMorphUVOffsets() const { return m_morphUVs; }
    const std::vector<Math::mat4>& GetSkinningMatrices() const { return m_skinMatrices; }
    /// Rest-position bounds; both corners start at the origin, so the box always contains it.
    const Math::vec3& GetBoundsMin() const { return m_boundsMin; }
    const Math::vec3& GetBoundsMax() const { return m_boundsMax; }
    /// Vertices whose bone indices name no node (they skip those bones), counted at load.
    std::size_t GetBadBoneIndexCount() const { return m_badBoneIndexCount; }

    MMDNodeManager& GetNodeManager() { return m_nodeManager; }
    const MMDNodeManager& GetNodeManager() const { return m_nodeManager; }
    MMDIKManager& GetIKManager() { return m_ikManager; }
    const MMDIKManager& GetIKManager() const { return m_ikManager; }
    MMDMorphManager& GetMorphManager() { return m_morphManager; }
    const MMDMorphManager& GetMorphManager() const { return m_morphManager; }
    const std::vector<PMXNode*>& GetSortedNodes() const { return m_sortedNodes; }

    /// Whether IK chains of one shape are solved together in SIMD lanes (on by default). The
    /// results are the same either way; this is for comparing the two.
    void SetIkLaneSharing(bool share) {
        m_shareIkLanes = share;
        m_passPlanned = false;
    }
    /// The solver that works the chains the plan gathers, for choosing its instruction set.
    IkLaneSolver& GetIkLaneSolver() { return m_laneSolver; }
    /// The plan of the append and IK pass before physics; made by the first per-frame update
    /// after a load.
    const NodePassSchedule& GetPassSchedule() const { return m_passSchedule; }
    /// The same for the bones that deform after physics.
    const NodePassSchedule& GetAfterPhysicsSchedule() const { return m_afterPhysicsSchedule; }
    /// Which bones deform after physics.
    const AfterPhysicsBones& GetAfterPhysicsBones() const { return m_afterPhysics; }
    ModelPhysics* GetPhysics() const { return m_physics.get(); }

protected:
    /// The material-morph step of the morph pass: turns the multiply and add records into each
    /// material's result.
    virtual void ApplyMaterialMorphs();

private:
    void BuildVertices(const PMXFile& file);
    void BuildMaterials(const PMXFile& file);
    void PlaceRestVertices();
    /// Globals from the current locals, then the append and IK pass.
    void UpdateNodeTransforms();
    /// In deform-layer order: append bones take on their sources, IK bones solve their chains
    /// (those that deform after physics wait for UpdateAfterPhysicsNodes).
    void UpdateAppendAndIK();
    /// Plans the passes before and after physics where there is no current plan.
    void PlanPasses();
    void RunPass(const NodePassSchedule& schedule);
    /// The pass after physics; `physicsMoved` when physics has just written the driven bones.
    void RunAfterPhysicsPass(bool physicsMoved);
    void ClearStaleMorphOffsets();
    void SetupParallelUpdate();
    void PrepareSkinningTables();
    SkinFrame MakeSkinFrame() const;
    void SkinRange(const UpdateRange& range);
    void SkinSharedRanges(std::size_t task);

    std::u16string m_modelName;
    std::u16string m_modelPath;
    std::vector<std::u16string> m_texturePaths;
    std::vector<ModelVertex> m_restVertices;
    std::vector<ModelVertex> m_outputVertices;
    std::vector<VertexSkin> m_vertexSkins;
    std::vector<float> m_edgeScales;
    std::vector<uint32_t> m_indices;
    uint8_t m_vertexIndexSize = 0;
    std::vector<Math::vec3> m_morphPositions;
    std::vector<Math::vec4> m_morphUVs;
    std::vector<ModelMaterial> m_materials;
    std::vector<MaterialMorphFactors> m_materialMul;
    std::vector<MaterialMorphFactors> m_materialAdd;
    std::vector<MaterialMorphFactors> m_materialMulInit;
    std::vector<MaterialMorphResult> m_materialResults;
    Math::vec3 m_boundsMin;
    Math::vec3 m_boundsMax;
    std::size_t m_badBoneIndexCount = 0;

    MMDNodeManager m_nodeManager;
    MMDIKManager m_ikManager;
    MMDMorphManager m_morphManager;
    std::vector<PMXNode*> m_sortedNodes;
    // Every node, parents before children (pre-order from each root in turn).
    std::vector<PMXNode*> m_walkOrder;
    // The append and IK pass, planned on its first run: before physics, and after it for the
    // bones flagged so.
    AfterPhysicsBones m_afterPhysics;
    NodePassSchedule m_passSchedule;
    NodePassSchedule m_afterPhysicsSchedule;
    bool m_passPlanned = false;
    bool m_shareIkLanes = true;
    IkLaneSolver m_laneSolver;
    std::unique_ptr<ModelPhysics> m_physics;

    // What the last morph pass wrote: flags per vertex and the position and UV lists applied.
    MorphVertexTracker m_morphTracker;
    // Set by BeginAnimation until the frame's morph pass: the offsets are the last frame's.
    bool m_morphOffsetsStale = false;

    // The skinning loop's records, built at load.
    SkinLayout m_skinLayout;
    // Per frame, filled before the fan-out: skin[i] = inverse bind * global; the blend table
    // (skin[i] * placement, then the placement and a zero matrix); for SDEF each node's rotation
    // with the placement's; for QDEF each skinning matrix as a unit dual quaternion (invalid when
    // it can't be decomposed; such a bone moves no vertex).
    std::vector<Math::mat4> m_skinMatrices;
    std::vector<BlendMatrix> m_blendMatrices;
    std::vector<Math::quat> m_placedRotations;
    std::vector<SkinDualQuat> m_dualQuats;

    std::size_t m_workerCount = 0;
    std::vector<UpdateRange> m_updateRanges;
    // Per range, the next block of vertices not yet taken: each task skins its own range block by
    // block, then takes what is left of the others, so no task idles while another is behind.
    struct alignas(64) RangeCursor {
        std::atomic<std::size_t> next{0};
        std::size_t end = 0;
    };
    std::vector<RangeCursor> m_rangeCursors;
    std::unique_ptr<SkinningPool> m_pool;

    Math::mat4 m_placement;
    Math::vec3 m_placementRotation;
    Math::vec3 m_placementTranslation;
};

}  // namespace Vesma
