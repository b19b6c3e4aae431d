#pragma once
// Plays a motion on a model frame after frame (ModelFrame, without physics) inside a benchmark loop
// and reports the time of each phase of the frame as counters (microseconds per frame):
// evaluate_us (BeginAnimation and the motion's evaluation), morphs_nodes_ik_us
// (UpdateMorphsAndNodes and EndUpdate) and, when skinning is on, skinning_us (UpdateVertices).
#include <benchmark/benchmark.h>

#include <chrono>

#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/motion/VMDModelAnimation.h"

namespace BenchSupport {

/// Adds up the time each phase of the frames takes.
class PhaseClock : public Vesma::ModelFrameObserver {
public:
    using Clock = std::chrono::steady_clock;

    void Start() { m_last = Clock::now(); }
    void PhaseDone(Vesma::ModelFramePhase phase) override {
        const Clock::time_point now = Clock::now();
        const double us = std::chrono::duration<double, std::micro>(now - m_last).count();
        m_last = now;
        switch (phase) {
            case Vesma::ModelFramePhase::Motion: evaluate += us; break;
            case Vesma::ModelFramePhase::Nodes: nodes += us; break;
            case Vesma::ModelFramePhase::Physics: physics += us; break;
            case Vesma::ModelFramePhase::Skinning: skinning += us; break;
        }
    }

    double evaluate = 0, nodes = 0, physics = 0, skinning = 0;

private:
    Clock::time_point m_last;
};

inline void TimeFrames(benchmark::State& state, Vesma::PMXModel& model, Vesma::VMDModelAnimation& motion,
                       float frameStep, float lastFrame, bool skin) {
    Vesma::ModelFrame job;
    job.model = &model;
    job.animation = &motion;
    job.physics = Vesma::PhysicsStep::Skip;
    job.skin = skin;
    PhaseClock clock;
    for (auto _ : state) {
        clock.Start();
        job.Run(clock);
        job.frame += frameStep;
        if (job.frame > lastFrame) job.frame = 0;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["evaluate_us"] = clock.evaluate / n;
    state.counters["morphs_nodes_ik_us"] = clock.nodes / n;
    if (skin) state.counters["skinning_us"] = clock.skinning / n;
}

}  // namespace BenchSupport
