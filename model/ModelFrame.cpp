#include "model/ModelFrame.h"

#include <cmath>

#include "model/PMXModel.h"
#include "model/motion/VMDModelAnimation.h"

namespace Vesma {
namespace {

struct NoObserver {
    void PhaseDone(ModelFramePhase) const {}
};

struct ForwardTo {
    ModelFrameObserver& observer;
    void PhaseDone(ModelFramePhase phase) const { observer.PhaseDone(phase); }
};

template <class Observer>
void RunFrame(const ModelFrame& job, const Observer& observer) {
    if (!job.Validate()) return;
    PMXModel& model = *job.model;

    model.BeginAnimation();
    if (job.animation) job.animation->Evaluate(job.frame, job.weight);
    observer.PhaseDone(ModelFramePhase::Motion);

    model.UpdateMorphsAndNodes();
    model.EndUpdate();
    observer.PhaseDone(ModelFramePhase::Nodes);

    // Stepping and resetting end with the bones that deform after physics; a frame that leaves
    // physics alone still owes them their pass.
    switch (job.physics) {
        case PhysicsStep::Step:
            model.StepPhysics(job.physicsSeconds);
            break;
        case PhysicsStep::Reset:
            model.ResetPhysics();
            break;
        case PhysicsStep::Skip:
            model.UpdateAfterPhysicsNodes();
            break;
    }
    observer.PhaseDone(ModelFramePhase::Physics);

    if (job.skin) model.UpdateVertices();
    observer.PhaseDone(ModelFramePhase::Skinning);
}

}  // namespace

bool ModelFrame::Validate() const {
    if (!model) return false;
    if (animation && animation->GetModel().get() != model) return false;
    return std::isfinite(frame) && std::isfinite(weight) && std::isfinite(physicsSeconds) && physicsSeconds >= 0.0f;
}

void ModelFrame::Run() const { RunFrame(*this, NoObserver{}); }

void ModelFrame::Run(ModelFrameObserver& observer) const { RunFrame(*this, ForwardTo{observer}); }

PhysicsStep PhysicsResetRule::Next(double seconds, bool resetRequested) {
    const bool backToStart = m_previousNonZero && seconds == 0.0;
    m_previousNonZero = seconds != 0.0;
    return backToStart || resetRequested ? PhysicsStep::Reset : PhysicsStep::Step;
}

}  // namespace Vesma
