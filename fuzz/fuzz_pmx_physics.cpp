// Reads arbitrary bytes as a PMX model and, when that succeeds, builds its nodes and its physics
// (rigid bodies and joints), resets it and steps it for a few frames while the root bone moves.
// Bone and body indices out of range, unknown shapes and operations, NaN and huge numbers must
// neither crash, hang nor read out of bounds; the build may fail, but cleanly.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "core/MessageLog.h"
#include "model/skeleton/MMDNodeManager.h"
#include "model/physics/ModelPhysics.h"
#include "model/io/PmxReader.h"

namespace {

void Pose(Vesma::MMDNodeManager& nodes, float move) {
    for (const auto& node : nodes.GetNodes()) node->BeginUpdate();
    if (Vesma::PMXNode* root = nodes.GetNode(0)) root->SetAnimateTranslate({move, 0.0f, 0.0f});
    for (const auto& node : nodes.GetNodes()) node->ComputeLocalTransform();
    for (const auto& node : nodes.GetNodes()) {
        if (!node->GetParent()) node->UpdateGlobalTransform();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Vesma::PMXFile pmx;
    if (!Vesma::ReadPMXFile(pmx, std::span<const uint8_t>(data, size))) {
        MessageLog::Instance().Clear();
        return 0;
    }
    Vesma::MMDNodeManager nodes;
    Vesma::SetupPMXNodes(pmx.bones, nodes);
    Pose(nodes, 0.0f);

    float elapsed = 1.0f / 60.0f;
    if (size >= 4) {
        std::memcpy(&elapsed, data + size - 4, 4);
    }
    {
        Vesma::ModelPhysics physics;
        if (physics.Build(pmx.rigidBodies, pmx.joints, nodes)) {
            physics.ResetPhysics();
            for (int frame = 0; frame < 4; ++frame) {
                Pose(nodes, 0.5f * static_cast<float>(frame));
                physics.StepPhysics(frame == 2 ? elapsed : 1.0f / 60.0f);
            }
            physics.ResetPhysics();
        }
    }
    MessageLog::Instance().Clear();
    return 0;
}
