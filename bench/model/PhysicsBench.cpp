// One physics frame of a character-like model: 150 rigid bodies (30 kinematic, 120 dynamic in
// hair and skirt chains) and 120 joints, stepped by 1/60 s (two fixed 1/120 s steps), with the
// hip swaying so the chains keep moving. Goal: under 1 ms per frame on one core.
#include <benchmark/benchmark.h>

#include <cmath>

#include "model/skeleton/MMDNodeManager.h"
#include "model/physics/ModelPhysics.h"
#include "tests/support/PhysicsRigs.h"

namespace {

void PoseNodes(Vesma::MMDNodeManager& nodes, int frame) {
    for (const auto& node : nodes.GetNodes()) node->BeginUpdate();
    const float t = static_cast<float>(frame) / 60.0f;
    nodes.GetNode(1)->SetAnimateTranslate({2.0f * std::sin(2.0f * t), 0.3f * std::sin(5.0f * t), 0.0f});
    nodes.GetNode(1)->SetAnimateRotate(Math::QuaternionRotationAxis({0, 1, 0}, 0.8f * std::sin(1.5f * t)));
    for (const auto& node : nodes.GetNodes()) node->ComputeLocalTransform();
    for (const auto& node : nodes.GetNodes()) {
        if (!node->GetParent()) node->UpdateGlobalTransform();
    }
}

void BM_PhysicsStep(benchmark::State& state) {
    const TestSupport::PhysicsRig rig = TestSupport::MakeHairAndSkirtRig();
    Vesma::MMDNodeManager nodes;
    Vesma::SetupPMXNodes(rig.bones, nodes);
    PoseNodes(nodes, 0);
    Vesma::ModelPhysics physics;
    if (!physics.Build(rig.rigidBodies, rig.joints, nodes)) {
        state.SkipWithError("physics build failed");
        return;
    }
    physics.ResetPhysics();
    int frame = 0;
    // Warm up past the first drop so the timing is of a moving, settled-in rig.
    for (; frame < 120; ++frame) {
        PoseNodes(nodes, frame);
        physics.StepPhysics(1.0f / 60.0f);
    }
    for (auto _ : state) {
        state.PauseTiming();
        PoseNodes(nodes, frame++);
        state.ResumeTiming();
        physics.StepPhysics(1.0f / 60.0f);
    }
    state.counters["bodies"] = static_cast<double>(physics.GetRigidBodies().size());
    state.counters["joints"] = static_cast<double>(physics.GetJoints().size());
}
BENCHMARK(BM_PhysicsStep)->Unit(benchmark::kMicrosecond);

void BM_PhysicsReset(benchmark::State& state) {
    const TestSupport::PhysicsRig rig = TestSupport::MakeHairAndSkirtRig();
    Vesma::MMDNodeManager nodes;
    Vesma::SetupPMXNodes(rig.bones, nodes);
    PoseNodes(nodes, 0);
    Vesma::ModelPhysics physics;
    if (!physics.Build(rig.rigidBodies, rig.joints, nodes)) {
        state.SkipWithError("physics build failed");
        return;
    }
    for (auto _ : state) {
        physics.ResetPhysics();
    }
}
BENCHMARK(BM_PhysicsReset)->Unit(benchmark::kMicrosecond);

}  // namespace
