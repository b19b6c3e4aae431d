#pragma once
// One frame of one model as a job: the motion, morphs and bones, the physics world, the bones that
// deform after physics, and the skinning, always in that order. The engine loop, the offline
// export, the inspector, benchmarks, fuzz targets and tests all run a frame through here, so the
// order lives in one place.
//
// The job borrows everything it names and owns nothing; it may be built on the stack each frame.
// The GPU copy of the result is the caller's business (the renderer uploads after Run).
namespace Vesma {

class PMXModel;
class VMDModelAnimation;

/// What a frame does with the physics world.
enum class PhysicsStep { Step, Reset, Skip };

/// The parts of a frame, in the order Run does them (every part is reported, also one that the
/// frame skips): BeginAnimation and the motion; morphs and bones; physics with the bones that
/// deform after it; skinning.
enum class ModelFramePhase { Motion, Nodes, Physics, Skinning };

/// Told as each part of a frame ends; for timing the parts.
class ModelFrameObserver {
public:
    virtual void PhaseDone(ModelFramePhase phase) = 0;

protected:
    ~ModelFrameObserver() = default;
};

/// One frame of one model: borrowed inputs, no ownership.
struct ModelFrame {
    PMXModel* model = nullptr;                 // required
    VMDModelAnimation* animation = nullptr;    // optional: no motion = rest pose + morphs as set
    float frame = 0.0f;                        // animation frame (seconds x 30)
    float weight = 1.0f;                       // motion weight (1 = the motion's own values)
    PhysicsStep physics = PhysicsStep::Step;
    float physicsSeconds = 0.0f;               // step length when physics == Step
    bool skin = true;                          // run UpdateVertices (skinning)

    /// True when the frame can run: a model; an animation, if any, bound to that model; finite
    /// frame and weight; finite, non-negative physics seconds.
    bool Validate() const;
    /// The whole frame in order: BeginAnimation; the motion's Evaluate(frame, weight);
    /// UpdateMorphsAndNodes; EndUpdate; StepPhysics(physicsSeconds), ResetPhysics or neither;
    /// the bones that deform after physics; UpdateVertices when `skin`. Does nothing unless
    /// Validate() holds.
    void Run() const;
    /// The same, telling `observer` as each part ends.
    void Run(ModelFrameObserver& observer) const;
};

/// When the engine loop resets physics rather than stepping it: when playback has just gone back
/// to the start (the previous update's time was not 0 and this one's is), or when a reset was
/// asked for. Before the first update the previous time counts as 0.
class PhysicsResetRule {
public:
    /// The physics of the update at animation time `seconds`; remembers whether it was 0.
    PhysicsStep Next(double seconds, bool resetRequested);

private:
    bool m_previousNonZero = false;
};

}  // namespace Vesma
