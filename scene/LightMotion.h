#pragma once
// The scene's light motion: the light keys (sun colour and direction) and the self-shadow keys
// (shadow switch and range) of the scene's motion files. The camera motion's keys are used where
// it has them (the authoring tool saves the light with the camera), else the first model motion's
// that has some, for each kind apart. A scene without such keys has no LightMotion at all.
//
// While the render settings' SunFromMotion switch is on, every update writes what the keys say at
// the frame into the settings: SunColor and SunDirection (towards the light) from the light keys;
// SunLightEnable (the shadow pass) and the shadow range from the self-shadow keys; the settings
// exchange brings the passes' copies of the sun in line as the edit ends. Switched off, the
// settings keep whatever was last written.
#include "model/motion/LightAnimation.h"
#include "model/motion/SelfShadowAnimation.h"
#include "renderer/SettingsExchange.h"

namespace ProjectTavrin {

struct LightMotion {
    Vesma::LightAnimation light;
    Vesma::SelfShadowAnimation selfShadow;

    bool Empty() const { return light.Empty() && selfShadow.Empty(); }

    /// Evaluates both key lists at `frame` and, under the switch, writes them into `settings`.
    /// Returns whether anything was written.
    bool Apply(float frame, FrameSettings& settings);
};

}  // namespace ProjectTavrin
