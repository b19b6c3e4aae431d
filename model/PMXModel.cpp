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
#include "model/ModelPhysics.h"
#include "model/PmxReader.h"
#include "model/SkinningPool.h"

namespace Vesma {
namespace {

constexpr std::size_t kVerticesPerSmallRange = 1000;
constexpr std::size_t kMaxDefaultWorkers = 16;

Math::vec3 FlipZ(const Math::vec3& v) { return {v.x, v.y, -v.z}; }

/// Unit vector, or the vector as it is when it has no length (no NaN from a zero normal).
inline Math::vec3 SafeNormalize(const Math::vec3& v) {
    const float lengthSq = v.x * v.x + v.y * v.y + v.z * v.z;
    if (!(lengthSq > 0.0f && lengthSq <= 3.4e38f)) return v;
    const float inv = 1.0f / __builtin_sqrtf(lengthSq);
    return {v.x * inv, v.y * inv, v.z * inv};
}

/// The affine part of a row-vector transform: rows 0-2 rotate/scale, row 3 translates.
struct Affine {
    float m[4][3];
};

inline void ClearAffine(Affine& a) {
    for (auto& row : a.m) row[0] = row[1] = row[2] = 0.0f;
}

inline void AddScaled(Affine& a, const Math::mat4& b, float w) {
    for (int r = 0; r < 4; ++r) {
        a.m[r][0] += b.m[r][0] * w;
        a.m[r][1] += b.m[r][1] * w;
        a.m[r][2] += b.m[r][2] * w;
    }
}

inline Affine ToAffine(const Math::mat4& b) {
    Affine a;
    for (int r = 0; r < 4; ++r) {
        a.m[r][0] = b.m[r][0];
        a.m[r][1] = b.m[r][1];
        a.m[r][2] = b.m[r][2];
    }
    return a;
}

inline Math::vec3 TransformPoint(const Math::vec3& p, const Affine& a) {
    return {p.x * a.m[0][0] + p.y * a.m[1][0] + p.z * a.m[2][0] + a.m[3][0],
            p.x * a.m[0][1] + p.y * a.m[1][1] + p.z * a.m[2][1] + a.m[3][1],
            p.x * a.m[0][2] + p.y * a.m[1][2] + p.z * a.m[2][2] + a.m[3][2]};
}

inline Math::vec3 TransformDirection(const Math::vec3& p, const Affine& a) {
    return {p.x * a.m[0][0] + p.y * a.m[1][0] + p.z * a.m[2][0],
            p.x * a.m[0][1] + p.y * a.m[1][1] + p.z * a.m[2][1],
            p.x * a.m[0][2] + p.y * a.m[1][2] + p.z * a.m[2][2]};
}

inline Math::vec3 PointTimes(const Math::vec3& p, const Math::mat4& a) {
    return {p.x * a.m[0][0] + p.y * a.m[1][0] + p.z * a.m[2][0] + a.m[3][0],
            p.x * a.m[0][1] + p.y * a.m[1][1] + p.z * a.m[2][1] + a.m[3][1],
            p.x * a.m[0][2] + p.y * a.m[1][2] + p.z * a.m[2][2] + a.m[3][2]};
}

Math::mat4 Multiply3x4(const Affine& a, const Math::mat4& b) {
    Math::mat4 out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            out.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] + (r == 3 ? b.m[3][c] : 0.0f);
        }
        out.m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
    return out;
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
    m_indices.clear();
    m_vertexIndexSize = 0;
    m_morphPositions.clear();
    m_morphUVs.clear();
    m_materials.clear();
    m_materialMul.clear();
    m_materialAdd.clear();
    m_materialMulInit.clear();
    m_materialResults.clear();
    m_boundsMin = {};
    m_boundsMax = {};
    m_badBoneIndexCount = 0;
    m_hasSdef = false;
    m_hasQdef = false;
    m_sortedNodes.clear();
    m_rootNodes.clear();
    m_morphManager.Clear();
    m_ikManager.Clear();
    m_nodeManager.Clear();
    m_skinMatrices.clear();
    m_placedSkinMatrices.clear();
    m_globalRotations.clear();
    m_dualQuats.clear();
    m_updateRanges.clear();
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
        read = !bytes.empty() && ReadPMXFile(file, std::move(bytes));
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
    const std::u16string directory =
        path == kSampleModelPath ? std::u16string() : Utf8ToUtf16(std::filesystem::path(Utf16ToUtf8(path)).parent_path().generic_string());

    // Nodes first: the skins are checked against them.
    SetupPMXNodes(file.bones, m_nodeManager);
    BuildVertices(file);
    BuildMaterials(file, directory);

    const auto& nodes = m_nodeManager.GetNodes();
    m_skinMatrices.assign(nodes.size(), Math::mat4::Identity());
    m_placedSkinMatrices.assign(nodes.size(), Math::mat4::Identity());
    m_globalRotations.assign(nodes.size(), Math::quat::Identity());
    m_dualQuats.assign(nodes.size(), {});
    for (const auto& node : nodes) {
        m_sortedNodes.push_back(node.get());
        if (!node->GetParent()) m_rootNodes.push_back(node.get());
    }
    std::stable_sort(m_sortedNodes.begin(), m_sortedNodes.end(),
                     [](const PMXNode* a, const PMXNode* b) { return a->GetDeformDepth() < b->GetDeformDepth(); });

    SetupPMXIkSolvers(file.bones, m_nodeManager, m_ikManager);
    SetupPMXMorphs(file.morphs, m_nodeManager, m_restVertices.size(), m_materials.size(), m_morphManager);

    // The physics reset below rebuilds every global transform from the local ones: give each node
    // its rest local transform first.
    for (const auto& node : nodes) node->ComputeLocalTransform();
    if (!m_physics->Build(file.rigidBodies, file.joints, m_nodeManager)) {
        file.Clear();
        return false;
    }
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
    m_morphPositions.assign(count, Math::vec3());
    m_morphUVs.assign(count, Math::vec4());
    m_boundsMin = {};
    m_boundsMax = {};
    for (std::size_t i = 0; i < count; ++i) {
        const PMXVertex& in = file.vertices[i];
        ModelVertex& rest = m_restVertices[i];
        rest.position = FlipZ(in.position);
        rest.previousPosition = rest.position;
        rest.normal = FlipZ(in.normal);
        rest.uv = in.uv;
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
                m_hasQdef = m_hasQdef || skin.weightType == SkinType::QDEF;
                for (int k = 0; k < 4; ++k) {
                    skin.boneIndices[k] = in.boneIndices[k];
                    skin.weights[k] = in.boneWeights[k];
                    bad = bad || (!valid(in.boneIndices[k]) && in.boneIndices[k] != -1 && in.boneWeights[k] != 0.0f);
                }
                break;
            case PMXVertexWeight::SDEF: {
                skin.weightType = SkinType::SDEF;
                m_hasSdef = true;
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

void PMXModel::BuildMaterials(const PMXFile& file, const std::u16string& directory) {
    for (const std::u16string& name : file.textures) {
        std::u16string relative = name;
        if (relative.size() >= 2 && relative[0] == u'.' && relative[1] == u'/') relative.erase(0, 2);
        m_texturePaths.push_back(directory.empty() ? relative : directory + u"/" + relative);
    }

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
            InitialMultiplyFactors(material.diffuse, material.specular, material.specularPower, material.ambient));
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
    for (const auto& node : m_nodeManager.GetNodes()) node->BeginUpdate();
    std::fill(m_morphPositions.begin(), m_morphPositions.end(), Math::vec3());
    std::fill(m_morphUVs.begin(), m_morphUVs.end(), Math::vec4());
}

void PMXModel::ApplyMaterialMorphs() {
    for (std::size_t i = 0; i < m_materialResults.size(); ++i) {
        m_materialResults[i] = CombineMaterialMorph(m_materialMul[i], m_materialAdd[i]);
    }
}

void PMXModel::UpdateMorphsAndNodes() {
    std::copy(m_materialMulInit.begin(), m_materialMulInit.end(), m_materialMul.begin());
    std::fill(m_materialAdd.begin(), m_materialAdd.end(), MaterialMorphFactors{});
    m_morphManager.ApplyMorphs({m_morphPositions, m_morphUVs, m_materialMul, m_materialAdd});
    ApplyMaterialMorphs();

    for (const auto& node : m_nodeManager.GetNodes()) node->ComputeLocalTransform();
    UpdateNodeTransforms();
}

void PMXModel::UpdateNodeTransforms() {
    for (PMXNode* root : m_rootNodes) root->UpdateGlobalTransform();
    for (PMXNode* node : m_sortedNodes) {
        if (node->GetAppendNode()) {
            node->UpdateAppendTransform();
            node->UpdateGlobalTransform();
        }
        if (MMDIkSolver* solver = node->GetIKSolver()) {
            solver->Solve();
            node->UpdateGlobalTransform();
        }
    }
    for (PMXNode* root : m_rootNodes) root->UpdateGlobalTransform();
}

void PMXModel::EndUpdate() {
    for (const auto& node : m_nodeManager.GetNodes()) node->EndUpdateHook();
}

void PMXModel::StepPhysics(float elapsed) { m_physics->StepPhysics(elapsed); }

void PMXModel::ResetPhysics() { m_physics->ResetPhysics(); }

void PMXModel::ResetPose() {
    ClearBaseAnimation();
    BeginAnimation();
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

void PMXModel::UpdateVertices() {
    const auto& nodes = m_nodeManager.GetNodes();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Math::mat4& global = nodes[i]->GetGlobalTransform();
        m_skinMatrices[i] = nodes[i]->GetInverseInitTransform() * global;
        m_placedSkinMatrices[i] = m_skinMatrices[i] * m_placement;
        if (m_hasSdef) m_globalRotations[i] = Math::QuaternionFromMatrix(global);
        if (m_hasQdef) {
            DualQuat& dq = m_dualQuats[i];
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

    if (m_updateRanges.size() != m_workerCount || m_updateRanges.empty()) SetupParallelUpdate();
    std::size_t busy = 0;
    for (const UpdateRange& range : m_updateRanges) busy += range.vertexCount != 0 ? 1 : 0;
    if (busy <= 1 || !m_pool) {
        for (const UpdateRange& range : m_updateRanges) SkinRange(range);
    } else {
        m_pool->Run(m_updateRanges.size(), [this](std::size_t i) { SkinRange(m_updateRanges[i]); });
    }

    if (m_uploadHook) m_uploadHook(*this);
}

void PMXModel::SkinRange(const UpdateRange& range) {
    const std::size_t nodeCount = m_placedSkinMatrices.size();
    const Math::mat4* placed = m_placedSkinMatrices.data();
    const Math::mat4* skins = m_skinMatrices.data();
    const Affine placement = ToAffine(m_placement);
    auto valid = [nodeCount](int32_t index) { return index >= 0 && static_cast<std::size_t>(index) < nodeCount; };

    const std::size_t end = range.vertexOffset + range.vertexCount;
    for (std::size_t v = range.vertexOffset; v < end; ++v) {
        const ModelVertex& rest = m_restVertices[v];
        const VertexSkin& skin = m_vertexSkins[v];
        ModelVertex& out = m_outputVertices[v];
        out.previousPosition = out.position;
        const Math::vec3 position = rest.position + m_morphPositions[v];

        Affine m;
        bool linear = true;
        switch (skin.weightType) {
            case SkinType::SDEF:
                if (valid(skin.sdefBoneIndex0) && valid(skin.sdefBoneIndex1)) {
                    const int32_t i0 = skin.sdefBoneIndex0;
                    const int32_t i1 = skin.sdefBoneIndex1;
                    const float w = skin.sdefWeight;
                    const Affine r = ToAffine(
                        Math::RotationQuaternion(Math::Slerp(m_globalRotations[i0], m_globalRotations[i1], 1.0f - w)));
                    const Math::vec3 p = TransformDirection(position - skin.sdefC, r) +
                                         PointTimes(skin.sdefP0, skins[i0]) * w +
                                         PointTimes(skin.sdefP1, skins[i1]) * (1.0f - w);
                    out.position = TransformPoint(p, placement);
                    out.normal = SafeNormalize(TransformDirection(TransformDirection(rest.normal, r), placement));
                    linear = false;
                    break;
                }
                [[fallthrough]];  // a missing bone: the plain blend of what is there
            case SkinType::BDEF2:
            case SkinType::BDEF1:
            case SkinType::BDEF4: {
                const int slots = skin.weightType == SkinType::BDEF1 ? 1 : skin.weightType == SkinType::BDEF4 ? 4 : 2;
                if (slots == 1 && valid(skin.boneIndices[0])) {
                    m = ToAffine(placed[skin.boneIndices[0]]);
                    break;
                }
                ClearAffine(m);
                bool any = false;
                for (int k = 0; k < slots; ++k) {
                    if (!valid(skin.boneIndices[k])) continue;
                    AddScaled(m, placed[skin.boneIndices[k]], slots == 1 ? 1.0f : skin.weights[k]);
                    any = true;
                }
                if (!any) m = placement;
                break;
            }
            case SkinType::QDEF: {
                const DualQuat* first = nullptr;
                Math::quat real(0, 0, 0, 0), dual(0, 0, 0, 0);
                for (int k = 0; k < 4; ++k) {
                    const int32_t index = skin.boneIndices[k];
                    if (!valid(index) || !m_dualQuats[index].valid) continue;
                    const DualQuat& dq = m_dualQuats[index];
                    float w = skin.weights[k];
                    if (!first) {
                        first = &dq;
                    } else if (Math::Dot(dq.real, first->real) < 0.0f) {
                        w = -w;
                    }
                    real = {real.x + dq.real.x * w, real.y + dq.real.y * w, real.z + dq.real.z * w, real.w + dq.real.w * w};
                    dual = {dual.x + dq.dual.x * w, dual.y + dq.dual.y * w, dual.z + dq.dual.z * w, dual.w + dq.dual.w * w};
                }
                const float length = std::sqrt(Math::Dot(real, real));
                if (!first || !(length > 0.0f) || !std::isfinite(length)) {
                    m = placement;
                    break;
                }
                const float inv = 1.0f / length;
                real = {real.x * inv, real.y * inv, real.z * inv, real.w * inv};
                dual = {dual.x * inv, dual.y * inv, dual.z * inv, dual.w * inv};
                Math::mat4 blended = Math::RotationQuaternion(real);
                const Math::quat t = dual * Math::Conjugate(real);
                blended.SetTranslation({2.0f * t.x, 2.0f * t.y, 2.0f * t.z});
                m = ToAffine(Multiply3x4(ToAffine(blended), m_placement));
                break;
            }
        }
        if (linear) {
            out.position = TransformPoint(position, m);
            out.normal = SafeNormalize(TransformDirection(rest.normal, m));
        }
        const Math::vec4& duv = m_morphUVs[v];
        out.uv = {rest.uv.x + duv.x, rest.uv.y + duv.y};
    }
}

}  // namespace Vesma
