#pragma once
// Plays a motion on a model frame after frame inside a benchmark loop and reports the time of
// each phase of the per-frame update as counters (microseconds per frame): evaluate_us
// (BeginAnimation and the motion's evaluation), morphs_nodes_ik_us (UpdateMorphsAndNodes and
// EndUpdate) and, when skinning is on, skinning_us (UpdateVertices).
#include <benchmark/benchmark.h>

#include <chrono>

#include "model/PMXModel.h"
#include "model/motion/VMDModelAnimation.h"

namespace BenchSupport {

inline void TimeFrames(benchmark::State& state, Vesma::PMXModel& model, Vesma::VMDModelAnimation& motion,
                       float frameStep, float lastFrame, bool skin) {
    using Clock = std::chrono::steady_clock;
    const auto micros = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::micro>(b - a).count();
    };
    double evaluate = 0, nodes = 0, skinning = 0;
    float frame = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        model.BeginAnimation();
        motion.Evaluate(frame);
        const auto t1 = Clock::now();
        model.UpdateMorphsAndNodes();
        model.EndUpdate();
        const auto t2 = Clock::now();
        if (skin) model.UpdateVertices();
        const auto t3 = Clock::now();
        evaluate += micros(t0, t1);
        nodes += micros(t1, t2);
        skinning += micros(t2, t3);
        frame += frameStep;
        if (frame > lastFrame) frame = 0;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["evaluate_us"] = evaluate / n;
    state.counters["morphs_nodes_ik_us"] = nodes / n;
    if (skin) state.counters["skinning_us"] = skinning / n;
}

}  // namespace BenchSupport
