#include "scene/LightMotion.h"

namespace ProjectTavrin {

bool LightMotion::Apply(float frame, FrameSettings& settings) {
    if (!settings.render.SunFromMotion || Empty()) return false;
    if (!light.Empty()) {
        light.Evaluate(frame);
        const Vesma::LightState& state = light.State();
        settings.render.config.SunColor = state.color;
        // A zero direction says nowhere: the sun keeps its last direction.
        if (const auto towards = Vesma::LightAnimation::TowardsLight(state)) settings.render.config.SunDirection = *towards;
    }
    if (!selfShadow.Empty()) {
        selfShadow.Evaluate(frame);
        const Vesma::SelfShadowState& state = selfShadow.State();
        settings.render.config.SunLightEnable = state.mode != 0 ? 1 : 0;
        settings.post.shadow.Distance = Vesma::SelfShadowAnimation::ShadowRange(state.distance);
    }
    return true;
}

}  // namespace ProjectTavrin
