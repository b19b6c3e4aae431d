#include "model/motion/VMDModelAnimation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <span>
#include <string>

#include "model/motion/KeySearch.h"
#include "model/ik/MMDIkSolver.h"
#include "model/morph/MMDMorph.h"
#include "model/skeleton/FixedAxis.h"
#include "model/skeleton/MMDNode.h"
#include "model/ModelFrame.h"
#include "model/skeleton/PMXNode.h"
#include "model/PMXModel.h"
#include "model/io/VMDFile.h"
#include "model/io/VmdReader.h"

namespace Vesma {
namespace {

bool IsFinite(const Math::quat& q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

/// VMD frames are unsigned; frames beyond the signed range keep their place at the end.
int32_t KeyFrameNumber(uint32_t frame) {
    return frame > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
               ? std::numeric_limits<int32_t>::max()
               : static_cast<int32_t>(frame);
}

template <class Key>
void SortByFrame(std::vector<Key>& keys) {
    std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.frame < b.frame; });
}

/// Gathers existing controllers by name, adds the file's keys (creating controllers for names the
/// model knows), sorts every key list and puts the controllers back in name order.
template <class Controller, class Target, class Entry, class FindTarget, class MakeKey>
void MergeKeys(std::vector<std::unique_ptr<Controller>>& controllers, Target* (Controller::*getTarget)() const,
               const std::vector<Entry>& entries, const std::u16string& (*nameOfTarget)(const Target&),
               FindTarget findTarget, MakeKey makeKey) {
    std::map<std::u16string, std::unique_ptr<Controller>> byName;
    for (std::unique_ptr<Controller>& controller : controllers) {
        const std::u16string& name = nameOfTarget(*((*controller).*getTarget)());
        auto [it, inserted] = byName.emplace(name, nullptr);
        if (inserted) {
            it->second = std::move(controller);
        } else {
            // Two targets of one name: keep the first controller and its keys.
            auto& keys = it->second->Keys();
            auto& more = controller->Keys();
            keys.insert(keys.end(), more.begin(), more.end());
        }
    }
    controllers.clear();

    for (const Entry& entry : entries) {
        const std::u16string name = entry.first;
        auto it = byName.find(name);
        if (it == byName.end()) {
            Target* target = findTarget(name);
            if (!target) continue;
            it = byName.emplace(name, std::make_unique<Controller>(target)).first;
        }
        it->second->Keys().push_back(makeKey(entry.second));
    }

    controllers.reserve(byName.size());
    for (auto& [name, controller] : byName) {
        controller->SortKeys();
        controllers.push_back(std::move(controller));
    }
}

const std::u16string& NodeName(const MMDNode& node) { return node.GetName(); }
const std::u16string& SolverName(const MMDIkSolver& solver) { return solver.GetName(); }
const std::u16string& MorphName(const MMDMorph& morph) { return morph.GetName(); }

}  // namespace

Math::quat MirrorVmdRotation(const Math::quat& q) {
    if (!IsFinite(q)) return Math::quat::Identity();
    if (Math::Dot(q, q) == 0.0f) return Math::quat::Identity();
    const Math::quat unit = Math::Normalize(q);
    const Math::quat mirrored = Math::QuaternionFromMatrix(Math::MirrorZ(Math::RotationQuaternion(unit)));
    const Math::quat result = Math::Normalize(mirrored);
    return IsFinite(result) ? result : Math::quat::Identity();
}

BoneKey BoneKeyFromRecord(const VMDMotionKey& record) {
    BoneKey key;
    key.frame = KeyFrameNumber(record.frame);
    key.translation = {record.translation.x, record.translation.y, -record.translation.z};
    key.rotation = MirrorVmdRotation(record.rotation);
    // Each channel has a row of its own: x1, y1, x2, y2 at bytes 0, 4, 8, 12 of the row. Reading
    // every channel from the first row instead would take Z's and the rotation's x1 from bytes 2
    // and 3, where the authoring tool keeps the physics switch rather than the curve.
    const auto& b = record.interpolation;
    BezierCurve* curves[4] = {&key.txBezier, &key.tyBezier, &key.tzBezier, &key.rotBezier};
    for (int c = 0; c < 4; ++c) {
        const int row = 16 * c;
        *curves[c] = BezierCurve::FromBytes(b[row], b[row + 4], b[row + 8], b[row + 12]);
    }
    key.physicsSwitch = {b[2], b[3]};
    return key;
}

// ---- controllers ----

NodeController::NodeController(MMDNode* node) : m_node(node) {
    if (const auto* bone = dynamic_cast<const PMXNode*>(node); bone && bone->HasFixedAxis()) {
        m_hasFixedAxis = true;
        m_fixedAxis = bone->GetFixedAxis();
    }
}

void NodeController::SortKeys() {
    SortByFrame(m_keys);
    m_segment.index = kNoSegment;
}
void IKController::SortKeys() { SortByFrame(m_keys); }
void MorphController::SortKeys() { SortByFrame(m_keys); }

void NodeController::EnterSegment(std::size_t index) {
    const BoneKey& k0 = m_keys[index - 1];
    const BoneKey& k1 = m_keys[index];
    Segment& s = m_segment;
    s.index = index;
    s.frame0 = k0.frame;
    s.frame1 = k1.frame;
    s.translation0 = k0.translation;
    s.delta = {k1.translation.x - k0.translation.x, k1.translation.y - k0.translation.y,
               k1.translation.z - k0.translation.z};
    s.arc = Math::MakeSlerpArc(k0.rotation, k1.rotation);
    // Channels often share one curve; a curve equal to one already solved reuses its value.
    s.source[0] = k1.txBezier == k1.rotBezier ? 1 : 0;
    s.source[1] = k1.tyBezier == k1.rotBezier ? 1 : k1.tyBezier == k1.txBezier ? 2 : 0;
    s.source[2] = k1.tzBezier == k1.rotBezier ? 1 : k1.tzBezier == k1.txBezier ? 2 : k1.tzBezier == k1.tyBezier ? 3 : 0;
}

void NodeController::Evaluate(float frame, float weight) {
    // Playback mostly stays in the span it was in: keys[index - 1].frame <= n < keys[index].frame
    // makes index the search's answer, which the cache already holds.
    KeyLookup at{KeyPosition::Between, m_segment.index};
    const std::int32_t n = KeySearchFrame(frame);
    if (m_segment.index == kNoSegment || n < m_segment.frame0 || n >= m_segment.frame1) {
        at = FindKey(m_keys, frame, m_cachedIndex);
    }
    if (at.position == KeyPosition::Empty) {
        m_node->SetAnimateTranslate({});
        m_node->SetAnimateRotate(Math::quat::Identity());
        return;
    }
    Math::vec3 translation;
    Math::quat rotation;
    if (at.position == KeyPosition::Between) {
        if (at.index != m_segment.index) EnterSegment(at.index);
        const Segment& s = m_segment;
        const BoneKey& k1 = m_keys[at.index];
        const float t = KeyProgress(frame, s.frame0, s.frame1);
        float values[4];  // rotation, x, y, z
        values[0] = k1.rotBezier.Evaluate(t);
        values[1] = s.source[0] != 0 ? values[s.source[0] - 1] : k1.txBezier.Evaluate(t);
        values[2] = s.source[1] != 0 ? values[s.source[1] - 1] : k1.tyBezier.Evaluate(t);
        values[3] = s.source[2] != 0 ? values[s.source[2] - 1] : k1.tzBezier.Evaluate(t);
        translation.x = s.translation0.x + s.delta.x * values[1];
        translation.y = s.translation0.y + s.delta.y * values[2];
        translation.z = s.translation0.z + s.delta.z * values[3];
        // Math::Slerp, with the part that depends on the keys alone done once for the span.
        const float r = values[0];
        rotation = r >= 0.0f && r <= 1.0f ? Math::SlerpOnArc(s.arc, r)
                                          : Math::Slerp(m_keys[at.index - 1].rotation, k1.rotation, r);
    } else {
        const BoneKey& key = m_keys[at.index];
        translation = key.translation;
        rotation = key.rotation;
    }

    if (weight != 1.0f) {
        const Math::vec3 baseT = m_node->GetBaseAnimateTranslate();
        rotation = Math::Slerp(m_node->GetBaseAnimateRotate(), rotation, weight);
        translation = baseT + (translation - baseT) * weight;
    }
    if (m_hasFixedAxis) rotation = ReduceToFixedAxis(rotation, m_fixedAxis);
    m_node->SetAnimateTranslate(translation);
    m_node->SetAnimateRotate(rotation);
}

void IKController::Evaluate(float frame, float weight) {
    const KeyLookup at = FindKey(m_keys, frame, m_cachedIndex);
    bool enable = true;
    switch (at.position) {
        case KeyPosition::Empty: m_solver->Enable(true); return;
        case KeyPosition::Between: enable = m_keys[at.index - 1].enable; break;
        case KeyPosition::First:
        case KeyPosition::PastEnd: enable = m_keys[at.index].enable; break;
    }
    m_solver->Enable(weight < 1.0f ? m_solver->GetBaseEnabled() : enable);
}

void MorphController::Evaluate(float frame, float weight) {
    const KeyLookup at = FindKey(m_keys, frame, m_cachedIndex);
    if (at.position == KeyPosition::Empty) return;
    float value;
    if (at.position == KeyPosition::Between) {
        const MorphKey& k0 = m_keys[at.index - 1];
        const MorphKey& k1 = m_keys[at.index];
        value = k0.weight + KeyProgress(frame, k0.frame, k1.frame) * (k1.weight - k0.weight);
    } else {
        value = m_keys[at.index].weight;
    }
    if (weight == 1.0f) {
        m_morph->SetWeight(value);
    } else {
        const float base = m_morph->GetBaseWeight();
        m_morph->SetWeight(base + weight * (value - base));
    }
}

// ---- animation ----

VMDModelAnimation::~VMDModelAnimation() = default;

bool VMDModelAnimation::Bind(std::shared_ptr<PMXModel> model) {
    m_model = std::move(model);
    return true;
}

bool VMDModelAnimation::AddMotion(const VMDFile& vmd) {
    if (!m_model) return false;
    PMXModel& model = *m_model;

    // Bones. Names are decoded once per key; keys stay in file order until the sort.
    std::vector<std::pair<std::u16string, const VMDMotionKey*>> bones;
    bones.reserve(vmd.boneKeys.size());
    for (const VMDMotionKey& key : vmd.boneKeys) bones.emplace_back(DecodeVMDName(key.boneName), &key);
    MergeKeys<NodeController, MMDNode>(
        m_nodeControllers, &NodeController::GetNode, bones, &NodeName,
        [&](const std::u16string& name) -> MMDNode* {
            return model.GetNodeManager().GetNode(model.GetNodeManager().FindNodeIndex(name));
        },
        [](const VMDMotionKey* key) { return BoneKeyFromRecord(*key); });

    // IK switches: one entry per named solver of each key.
    std::vector<std::pair<std::u16string, IKKey>> iks;
    for (const VMDIKKey& key : vmd.ikKeys) {
        for (const VMDIKInfo& info : key.ikInfos) {
            iks.emplace_back(DecodeVMDName(info.name), IKKey{KeyFrameNumber(key.frame), info.enable != 0});
        }
    }
    MergeKeys<IKController, MMDIkSolver>(
        m_ikControllers, &IKController::GetSolver, iks, &SolverName,
        [&](const std::u16string& name) -> MMDIkSolver* {
            return model.GetIKManager().GetIKSolver(model.GetIKManager().FindIKSolverIndex(name));
        },
        [](const IKKey& key) { return key; });

    std::vector<std::pair<std::u16string, MorphKey>> morphs;
    morphs.reserve(vmd.morphKeys.size());
    for (const VMDMorphKey& key : vmd.morphKeys) {
        morphs.emplace_back(DecodeVMDName(key.morphName), MorphKey{KeyFrameNumber(key.frame), key.weight});
    }
    MergeKeys<MorphController, MMDMorph>(
        m_morphControllers, &MorphController::GetMorph, morphs, &MorphName,
        [&](const std::u16string& name) -> MMDMorph* {
            return model.GetMorphManager().GetMorph(model.GetMorphManager().FindMorphIndex(name));
        },
        [](const MorphKey& key) { return key; });

    m_maxKeyFrame = MaxKeyFrame();
    return true;
}

void VMDModelAnimation::Evaluate(float frame, float weight) {
    for (const auto& controller : m_nodeControllers) controller->Evaluate(frame, weight);
    for (const auto& controller : m_ikControllers) controller->Evaluate(frame, weight);
    for (const auto& controller : m_morphControllers) controller->Evaluate(frame, weight);
}

void VMDModelAnimation::WarmUpPhysics(float frame) {
    if (!m_model) return;
    m_model->SaveBaseAnimation();
    ModelFrame round;
    round.model = m_model.get();
    round.animation = this;
    round.frame = frame;
    round.physics = PhysicsStep::Step;
    round.physicsSeconds = 1.0f / 30.0f;
    round.skin = false;
    for (int i = 1; i <= 60; ++i) {
        round.weight = static_cast<float>(i) / 60.0f;
        round.Run();
    }
}

int32_t VMDModelAnimation::MaxKeyFrame() const {
    int32_t result = 0;
    auto visit = [&](const auto& controllers) {
        for (const auto& controller : controllers) {
            if (!controller->Keys().empty()) result = std::max(result, controller->Keys().back().frame);
        }
    };
    visit(m_nodeControllers);
    visit(m_ikControllers);
    visit(m_morphControllers);
    return result;
}

}  // namespace Vesma
