#include "model/PMXModel.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>

#include "assets/SampleModel.h"
#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "model/physics/ModelPhysics.h"
#include "model/io/ModelFileReader.h"
#include "model/io/PmxReader.h"
#include "model/morph/PMXMorphSetup.h"
#include "model/skin/SkinningPool.h"

namespace Vesma {
namespace {

constexpr std::size_t kVerticesPerSmallRange = 1000;
constexpr std::size_t kMaxDefaultWorkers = 16;
// Vertices a skinning task takes at a time from a range.
constexpr std::size_t kSkinBlock = 2048;

Math::vec3 FlipZ(const Math::vec3& v) { return {v.x, v.y, -v.z}; }

inline Math::vec3 PointTimes(const Math::vec3& p, const Math::mat4& a) {
    return {p.x * a.m[0][0] + p.y * a.m[1][0] + p.z * a.m[2][0] + a.m[3][0],
            p.x * a.m[0][1] + p.y * a.m[1][1] + p.z * a.m[2][1] + a.m[3][1],
            p.x * a.m[0][2] + p.y * a.m[1][2] + p.z * a.m[2][2] + a.m[3][2]};
}

inline void SetBlendMatrix(BlendMatrix& out, const Math::mat4& m) {
    for (int r = 0; r < 4; ++r) {
        out.rows[r][0] = m.m[r][0];
        out.rows[r][1] = m.m[r][1];
        out.rows[r][2] = m.m[r][2];
        out.rows[r][3] = 0.0f;
    }
}

std::size_t HardwareWorkers() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

}  // namespace

// ---- parallel ranges ----

std::vector<UpdateRange> SplitUpdateRanges(std::size_t vertexCount, std::size_t workerCount) {
    const std::size_t n = std::max<std::size_t>(workerCount, 1);
    std::vector<UpdateRange> ranges(n);
    if (vertexCount < n * kVerticesPerSmallRange) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t begin = std::min(vertexCount, i * kVerticesPerSmallRange);
            ranges[i] = {begin, std::min(kVerticesPerSmallRange, vertexCount - begin)};
        }
    } else {
        const std::size_t share = vertexCount / n;
        const std::size_t remainder = vertexCount % n;
        ranges[0] = {0, share + remainder};
        for (std::size_t i = 1; i < n; ++i) ranges[i] = {remainder + share * i, share};
    }
    return ranges;
}

// ---- construction and load ----

PMXModel::PMXModel() : m_physics(std::make_unique<ModelPhysics>()) {}

PMXModel::~PMXModel() {
    m_pool.reset();
    m_physics.reset();
}

void PMXModel::Clear() {
    m_physics->Clear();
    m_modelName.clear();
    m_modelPath.clear();
    m_texturePaths.clear();
    m_restVertices.clear();
    m_outputVertices.clear();
    m_vertexSkins.clear();
    m_edgeScales.clear();
    m_indices.clear();
    m_vertexIndexSize = 0;
    m_morphPositions.clear();
    m_morphUVs.clear();
    m_morphTracker.Reset(0);
    m_morphOffsetsStale = false;
    m_materials.clear();
    m_materialMul.clear();
    m_materialAdd.clear();
    m_materialMulInit.clear();
    m_materialResults.clear();
    m_boundsMin = {};
    m_boundsMax = {};
    m_badBoneIndexCount = 0;
    m_skinLayout = SkinLayout();
    m_sortedNodes.clear();
    m_walkOrder.clear();
    m_afterPhysics.Clear();
    m_passPlanned = false;
    m_morphManager.Clear();
    m_ikManager.Clear();
    m_nodeManager.Clear();
    m_skinMatrices.clear();
    m_blendMatrices.clear();
    m_placedRotations.clear();
    m_dualQuats.clear();
    m_updateRanges.clear();
    m_rangeCursors.clear();
}

bool PMXModel::Load(const std::u16string& path) {
    Clear();
    PMXFile file;
    bool read = false;
    if (path == kSampleModelPath) {
        read = ReadPMXFile(file, SampleModelData());
    } else {
        std::vector<uint8_t> bytes = ReadWholeFile(std::filesystem::path(Utf16ToUtf8(path)));
        // The reader says nothing about a file that isn't there or is empty.
        if (bytes.empty()) MessageLog::Instance().Append(u"Cannot read the model file " + path + u".");
        read = !bytes.empty() && ReadModelFile(file, std::move(bytes), path);
    }
    if (!read) {
        file.Clear();
        return false;
    }
    return Load(std::move(file), path);
}

bool PMXModel::Load(PMXFile&& file, const std::u16string& path) {
    Clear();
    m_modelPath = path;
    m_modelName = file.modelName;
    m_vertexIndexSize = file.header.vertexIndexSize;
    // Nodes first: the skins are checked against them.
    SetupPMXNodes(file.bones, m_nodeManager);
    BuildVertices(file);
    m_texturePaths = TexturePathsOf(file, path);
    BuildMaterials(file);

    const auto& nodes = m_nodeManager.GetNodes();
    m_skinMatrices.assign(nodes.size(), Math::mat4::Identity());
    m_blendMatrices.assign(m_skinLayout.MatrixCount(), BlendMatrix{});
    m_placedRotations.assign(m_skinLayout.hasSdef ? nodes.size() : 0, Math::quat::Identity());
    m_dualQuats.assign(m_skinLayout.hasQdef ? nodes.size() : 0, SkinDualQuat{});
    for (const auto& node : nodes) {
        m_sortedNodes.push_back(node.get());
        if (node->GetParent()) continue;
        // Pre-order walk of this root's tree: the order UpdateGlobalTransform takes.
        std::vector<MMDNode*> stack{node.get()};
        while (!stack.empty()) {
            MMDNode* n = stack.back();
            stack.pop_back();
            m_walkOrder.push_back(static_cast<PMXNode*>(n));
            const std::size_t first = stack.size();
            for (MMDNode* child = n->GetFirstChild(); child; child = child->GetNext()) stack.push_back(child);
            std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(first), stack.end());
        }
    }
    std::stable_sort(m_sortedNodes.begin(), m_sortedNodes.end(),
                     [](const PMXNode* a, const PMXNode* b) { return a->GetDeformDepth() < b->GetDeformDepth(); });
    // Which bones wait for physics depends on the bodies too; until they exist, every flagged one.
    m_afterPhysics.Build(m_sortedNodes, {});

    SetupPMXIkSolvers(file.bones, m_nodeManager, m_ikManager);
    SetupPMXMorphs(file.morphs, m_nodeManager, m_restVertices.size(), m_materials.size(), m_morphManager);

    // The physics reset below rebuilds every global transform from the local ones: give each node
    // its rest local transform first.
    for (const auto& node : nodes) node->ComputeLocalTransform();
    if (!m_physics->Build(file.rigidBodies, file.joints, m_nodeManager)) {
        file.Clear();
        return false;
    }
    const std::vector<MMDNode*> simulated = m_physics->GetSimulatedNodes();
    m_afterPhysics.Build(m_sortedNodes, simulated);
    ResetPhysics();
    SetupParallelUpdate();
    file.Clear();
    return true;
}

void PMXModel::BuildVertices(const PMXFile& file) {
    const std::size_t count = file.vertices.size();
    const std::size_t nodeCount = m_nodeManager.GetNodeCount();
    auto valid = [&](int32_t index) { return index >= 0 && static_cast<std::size_t>(index) < nodeCount; };

    m_restVertices.resize(count);
    m_vertexSkins.resize(count);
    m_edgeScales.resize(count);
    m_morphPositions.assign(count, Math::vec3());
    m_morphUVs.assign(count, Math::vec4());
    m_morphTracker.Reset(count);
    m_morphOffsetsStale = false;
    m_boundsMin = {};
    m_boundsMax = {};
    for (std::size_t i = 0; i < count; ++i) {
        const PMXVertex& in = file.vertices[i];
        ModelVertex& rest = m_restVertices[i];
        rest.position = FlipZ(in.position);
        rest.previousPosition = rest.position;
        rest.normal = FlipZ(in.normal);
        rest.uv = in.uv;
        // The outline's width factor: a negative or non-finite one draws no outline there.
        m_edgeScales[i] = std::isfinite(in.edgeScale) && in.edgeScale > 0.0f ? in.edgeScale : 0.0f;
        m_boundsMin = Math::Min(m_boundsMin, rest.position);
        m_boundsMax = Math::Max(m_boundsMax, rest.position);

        VertexSkin& skin = m_vertexSkins[i];
        bool bad = false;
        switch (in.weightType) {
            case PMXVertexWeight::BDEF1:
                skin.weightType = SkinType::BDEF1;
                skin.boneIndices[0] = in.boneIndices[0];
                skin.weights[0] = 1.0f;
                bad = !valid(in.boneIndices[0]);
                break;
            case PMXVertexWeight::BDEF2:
                skin.weightType = SkinType::BDEF2;
                skin.boneIndices[0] = in.boneIndices[0];
                skin.boneIndices[1] = in.boneIndices[1];
                skin.weights[0] = in.boneWeights[0];
                skin.weights[1] = 1.0f - in.boneWeights[0];
                bad = (!valid(skin.boneIndices[0]) && skin.weights[0] != 0.0f) ||
                      (!valid(skin.boneIndices[1]) && skin.weights[1] != 0.0f);
                break;
            case PMXVertexWeight::BDEF4:
            case PMXVertexWeight::QDEF:
                skin.weightType = in.weightType == PMXVertexWeight::QDEF ? SkinType::QDEF : SkinType::BDEF4;
                for (int k = 0; k < 4; ++k) {
                    skin.boneIndices[k] = in.boneIndices[k];
                    skin.weights[k] = in.boneWeights[k];
                    bad = bad || (!valid(in.boneIndices[k]) && in.boneIndices[k] != -1 && in.boneWeights[k] != 0.0f);
                }
                break;
            case PMXVertexWeight::SDEF: {
                skin.weightType = SkinType::SDEF;
                skin.sdefBoneIndex0 = in.boneIndices[0];
                skin.sdefBoneIndex1 = in.boneIndices[1];
                const float w = in.boneWeights[0];
                skin.sdefWeight = w;
                // The bones' slots as well, for the plain blend an SDEF vertex falls back to when
                // one of its bones doesn't exist.
                skin.boneIndices[0] = in.boneIndices[0];
                skin.boneIndices[1] = in.boneIndices[1];
                skin.weights[0] = w;
                skin.weights[1] = 1.0f - w;
                const Math::vec3 c = FlipZ(in.sdefC);
                const Math::vec3 r0 = FlipZ(in.sdefR0);
                const Math::vec3 r1 = FlipZ(in.sdefR1);
                const Math::vec3 rw = r0 * w + r1 * (1.0f - w);
                const Math::vec3 a0 = c + r0 - rw;
                const Math::vec3 a1 = c + r1 - rw;
                skin.sdefC = c;
                skin.sdefP0 = (c + a0) * 0.5f;
                skin.sdefP1 = (c + a1) * 0.5f;
                bad = !valid(skin.sdefBoneIndex0) || !valid(skin.sdefBoneIndex1);
                break;
            }
        }
        if (bad) ++m_badBoneIndexCount;
    }
    if (m_badBoneIndexCount != 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(m_badBoneIndexCount) +
                                          " vertices name bones that don't exist; those bones don't move them.");
    }
    BuildSkinLayout(m_restVertices, m_vertexSkins, nodeCount, m_skinLayout);
    m_outputVertices = m_restVertices;
    PlaceRestVertices();

    // The z flip reverses the winding. A face that names a vertex the model lacks collapses onto
    // vertex 0 (or, without vertices, the list stays empty), so the index list never points outside
    // the vertex list.
    std::size_t badFaces = 0;
    m_indices.reserve(file.faces.size() * 3);
    for (const PMXFace& face : file.faces) {
        const auto& v = face.vertices;
        if (v[0] >= count || v[1] >= count || v[2] >= count) {
            ++badFaces;
            if (count == 0) continue;
            m_indices.insert(m_indices.end(), {0u, 0u, 0u});
        } else {
            m_indices.insert(m_indices.end(), {v[2], v[1], v[0]});
        }
    }
    if (badFaces != 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(badFaces) +
                                          " faces name vertices that don't exist; they are not drawn.");
    }
}

std::vector<std::u16string> PMXModel::TexturePathsOf(const PMXFile& file, const std::u16string& path) {
    const std::u16string directory =
        path == kSampleModelPath ? std::u16string() : Utf8ToUtf16(std::filesystem::path(Utf16ToUtf8(path)).parent_path().generic_string());
    std::vector<std::u16string> paths;
    paths.reserve(file.textures.size());
    for (const std::u16string& name : file.textures) {
        std::u16string relative = name;
        if (relative.size() >= 2 && relative[0] == u'.' && relative[1] == u'/') relative.erase(0, 2);
        paths.push_back(directory.empty() ? relative : directory + u"/" + relative);
    }
    return paths;
}

void PMXModel::BuildMaterials(const PMXFile& file) {

    // Each material draws the next slice of the index list; a count that runs past the list or
    // is negative is cut to what is there.
    const std::size_t total = m_indices.size();
    std::size_t start = 0;
    for (const PMXMaterial& material : file.materials) {
        ModelMaterial out;
        out.name = material.name;
        out.source = material;
        out.source.name.clear();
        out.source.englishName.clear();
        out.source.memo.clear();
        const std::size_t wanted = material.numFaceVertices > 0 ? static_cast<std::size_t>(material.numFaceVertices) : 0;
        const std::size_t begin = std::min(start, total);
        out.beginIndex = static_cast<uint32_t>(begin);
        out.indexCount = static_cast<uint32_t>(std::min(wanted, total - begin));
        start = begin + out.indexCount;
        m_materials.push_back(std::move(out));

        m_materialMulInit.push_back(
            InitialMultiplyFactors(material.diffuse, material.specular, material.specularPower, material.ambient,
                                   material.edgeColor, material.edgeSize));
    }
    m_materialMul = m_materialMulInit;
    m_materialAdd.assign(m_materials.size(), MaterialMorphFactors{});
    m_materialResults.resize(m_materials.size());
    ApplyMaterialMorphs();
}

void PMXModel::SetPlacement(const Math::vec3& rotation, const Math::vec3& translation) {
    m_placementRotation = rotation;
    m_placementTranslation = translation;
    m_placement = Math::RotationZ(rotation.z) * Math::RotationX(rotation.x) * Math::RotationY(rotation.y) *
                  Math::Translation(translation);
}

void PMXModel::PlaceRestVertices() {
    for (std::size_t i = 0; i < m_restVertices.size(); ++i) {
        m_outputVertices[i].position = PointTimes(m_restVertices[i].position, m_placement);
        m_outputVertices[i].previousPosition = m_outputVertices[i].position;
    }
}

// ---- per frame ----

void PMXModel::BeginAnimation() {
    for (const auto& node : m_nodeManager.GetNodes()) node->BeginPMXUpdate();
    // The morph pass overwrites the offsets in place, clearing only what it no longer writes.
    m_morphOffsetsStale = true;
}

void PMXModel::ClearStaleMorphOffsets() {
    if (!m_morphOffsetsStale) return;
    m_morphManager.ClearAppliedMorphs({m_morphPositions, m_morphUVs, {}, {}, &m_morphTracker});
    m_morphOffsetsStale = false;
}

void PMXModel::ApplyMaterialMorphs() {
    for (std::size_t i = 0; i < m_materialResults.size(); ++i) {
        m_materialResults[i] = CombineMaterialMorph(m_materialMul[i], m_materialAdd[i]);
    }
}

void PMXModel::UpdateMorphsAndNodes() {
    std::copy(m_materialMulInit.begin(), m_materialMulInit.end(), m_materialMul.begin());
    std::fill(m_materialAdd.begin(), m_materialAdd.end(), MaterialMorphFactors{});
    m_morphManager.ApplyMorphs({m_morphPositions, m_morphUVs, m_materialMul, m_materialAdd, &m_morphTracker});
    m_morphOffsetsStale = false;
    ApplyMaterialMorphs();

    // Locals and globals in one walk, parents first: the same values as all locals, then the
    // walks from the roots.
    PMXNode::UpdateLocalsAndGlobals(m_walkOrder);
    UpdateAppendAndIK();
}

void PMXModel::UpdateNodeTransforms() {
    for (PMXNode* node : m_walkOrder) node->UpdateOwnGlobalTransform();
    UpdateAppendAndIK();
}

void PMXModel::UpdateAppendAndIK() {
    PlanPasses();
    RunPass(m_passSchedule);
}

void PMXModel::PlanPasses() {
    if (m_passPlanned && m_passSchedule.IsCurrent() && m_afterPhysicsSchedule.IsCurrent()) return;
    m_passSchedule.Build(m_afterPhysics.BeforePhysics(), m_walkOrder, m_shareIkLanes);
    m_afterPhysicsSchedule.Build(m_afterPhysics.AfterPhysics(), m_walkOrder, m_shareIkLanes);
    m_passPlanned = true;
}

void PMXModel::RunPass(const NodePassSchedule& schedule) {
    // Every local transform a pass changes (an append bone's, or the links' of a solve) is
    // followed at once by an update of that node's whole subtree, so every global stays equal to
    // local * parent global throughout. Walking from the roots again afterwards, or updating an IK
    // bone's subtree after its solve, would recompute the same values.
    for (const NodePassStep& step : schedule.GetSteps()) {
        if (PMXNode* node = step.appendNode) {
            node->UpdateAppendTransform();
            node->UpdateGlobalTransform();
        } else if (step.solverCount == 1) {
            step.solvers[0]->Solve();
        } else {
            m_laneSolver.Solve(std::span<MMDIkSolver* const>(step.solvers.data(), step.solverCount));
        }
    }
}

void PMXModel::EndUpdate() {
    for (const auto& node : m_nodeManager.GetNodes()) node->EndUpdateHook();
}

void PMXModel::StepPhysics(float elapsed) {
    m_physics->StepPhysics(elapsed);
    RunAfterPhysicsPass(true);
}

void PMXModel::ResetPhysics() {
    m_physics->ResetPhysics();
    RunAfterPhysicsPass(true);
}

void PMXModel::UpdateAfterPhysicsNodes() { RunAfterPhysicsPass(false); }

void PMXModel::RunAfterPhysicsPass(bool physicsMoved) {
    if (m_afterPhysics.Empty()) return;
    PlanPasses();
    if (physicsMoved) m_afterPhysics.TakeOnPhysicsPoses();
    RunPass(m_afterPhysicsSchedule);
}

void PMXModel::ResetPose() {
    ClearBaseAnimation();
    BeginAnimation();
    ClearStaleMorphOffsets();
    for (const auto& node : m_nodeManager.GetNodes()) node->ComputeLocalTransform();
    for (const auto& morph : m_morphManager.GetMorphs()) morph->SetWeight(0.0f);
    for (const auto& solver : m_ikManager.GetIKSolvers()) solver->Enable(true);
    UpdateNodeTransforms();
    EndUpdate();
    ResetPhysics();
}

void PMXModel::SaveBaseAnimation() {
    for (const auto& node : m_nodeManager.GetNodes()) node->SaveBaseAnimation();
    m_morphManager.SaveBaseAnimation();
    for (const auto& solver : m_ikManager.GetIKSolvers()) solver->SaveBaseAnimation();
}

void PMXModel::ClearBaseAnimation() {
    for (const auto& node : m_nodeManager.GetNodes()) node->ClearBaseAnimation();
    m_morphManager.ClearBaseAnimation();
    for (const auto& solver : m_ikManager.GetIKSolvers()) solver->ClearBaseAnimation();
}

// ---- skinning ----

void PMXModel::SetWorkerCount(std::size_t count) {
    m_workerCount = std::max<std::size_t>(count, 1);
    m_updateRanges.clear();
    m_rangeCursors.clear();
}

void PMXModel::SetupParallelUpdate() {
    if (m_workerCount == 0) m_workerCount = HardwareWorkers();
    if (m_workerCount > std::max(kMaxDefaultWorkers, HardwareWorkers())) m_workerCount = kMaxDefaultWorkers;
    m_updateRanges = SplitUpdateRanges(m_restVertices.size(), m_workerCount);
    std::size_t busy = 0;
    for (const UpdateRange& range : m_updateRanges) busy += range.vertexCount != 0 ? 1 : 0;
    if (busy > 1 && (!m_pool || m_pool->GetTaskCount() != m_workerCount)) {
        m_pool = std::make_unique<SkinningPool>(m_workerCount);
    }
}

void PMXModel::PrepareSkinningTables() {
    if (m_blendMatrices.size() != m_skinLayout.MatrixCount()) m_blendMatrices.assign(m_skinLayout.MatrixCount(), BlendMatrix{});
    const auto& nodes = m_nodeManager.GetNodes();
    const std::size_t count = std::min(nodes.size(), m_skinMatrices.size());
    const bool sdef = m_placedRotations.size() >= count && m_skinLayout.hasSdef;
    const bool qdef = m_dualQuats.size() >= count && m_skinLayout.hasQdef;
    const Math::quat placementRotation = sdef ? Math::QuaternionFromMatrix(m_placement) : Math::quat::Identity();
    for (std::size_t i = 0; i < count; ++i) {
        const Math::mat4& global = nodes[i]->GetGlobalTransform();
        const Math::mat4& inverseInit = nodes[i]->GetInverseInitTransform();
        m_skinMatrices[i] = Math::IsAffine(inverseInit) ? Math::MultiplyAffine(inverseInit, global) : inverseInit * global;
        const Math::mat4& skin = m_skinMatrices[i];
        SetBlendMatrix(m_blendMatrices[i], Math::IsAffine(skin) ? Math::MultiplyAffine(skin, m_placement) : skin * m_placement);
        // The global rotation followed by the placement's.
        if (sdef) m_placedRotations[i] = placementRotation * Math::QuaternionFromMatrix(global);
        if (qdef) {
            SkinDualQuat& dq = m_dualQuats[i];
            Math::vec3 scale, translation;
            Math::quat rotation;
            dq.valid = Math::Decompose(m_skinMatrices[i], scale, rotation, translation);
            const float length = std::sqrt(Math::Dot(rotation, rotation));
            dq.valid = dq.valid && length > 0.0f && std::isfinite(length);
            if (dq.valid) {
                const float inv = 1.0f / length;
                const Math::quat dual = Math::quat(translation.x * 0.5f, translation.y * 0.5f, translation.z * 0.5f, 0.0f) * rotation;
                dq.real = {rotation.x * inv, rotation.y * inv, rotation.z * inv, rotation.w * inv};
                dq.dual = {dual.x * inv, dual.y * inv, dual.z * inv, dual.w * inv};
            }
        }
    }
    SetBlendMatrix(m_blendMatrices[m_skinLayout.PlacementSlot()], m_placement);
    m_blendMatrices[m_skinLayout.ZeroSlot()] = BlendMatrix{};
}

void PMXModel::UpdateVertices() {
    ClearStaleMorphOffsets();
    PrepareSkinningTables();

    if (m_updateRanges.size() != m_workerCount || m_updateRanges.empty()) SetupParallelUpdate();
    std::size_t busy = 0;
    for (const UpdateRange& range : m_updateRanges) busy += range.vertexCount != 0 ? 1 : 0;
    if (busy <= 1 || !m_pool) {
        for (const UpdateRange& range : m_updateRanges) SkinRange(range);
    } else {
        if (m_rangeCursors.size() != m_updateRanges.size()) m_rangeCursors = std::vector<RangeCursor>(m_updateRanges.size());
        for (std::size_t i = 0; i < m_updateRanges.size(); ++i) {
            m_rangeCursors[i].next.store(m_updateRanges[i].vertexOffset, std::memory_order_relaxed);
            m_rangeCursors[i].end = m_updateRanges[i].vertexOffset + m_updateRanges[i].vertexCount;
        }
        m_pool->Run(m_updateRanges.size(), [this](std::size_t i) { SkinSharedRanges(i); });
    }
}

SkinFrame PMXModel::MakeSkinFrame() const {
    SkinFrame frame;
    frame.matrices = m_blendMatrices.data();
    frame.rotations = m_placedRotations.data();
    frame.dualQuats = m_dualQuats.data();
    frame.morphPositions = m_morphPositions.data();
    frame.morphUVs = m_morphUVs.data();
    frame.morphFlags = m_morphTracker.Flags().data();
    return frame;
}

void PMXModel::SkinRange(const UpdateRange& range) {
    if (range.vertexCount == 0) return;
    SkinVertices(m_skinLayout, MakeSkinFrame(), m_outputVertices.data(), range.vertexOffset,
                 range.vertexOffset + range.vertexCount);
}

void PMXModel::SkinSharedRanges(std::size_t task) {
    const SkinFrame frame = MakeSkinFrame();
    const std::size_t count = m_rangeCursors.size();
    for (std::size_t k = 0; k < count; ++k) {
        RangeCursor& cursor = m_rangeCursors[(task + k) % count];
        for (;;) {
            const std::size_t begin = cursor.next.fetch_add(kSkinBlock, std::memory_order_relaxed);
            if (begin >= cursor.end) break;
            SkinVertices(m_skinLayout, frame, m_outputVertices.data(), begin, std::min(begin + kSkinBlock, cursor.end));
        }
    }
}

}  // namespace Vesma
