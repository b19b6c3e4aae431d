#pragma once
// Volumetric light: the ray march through the sun's light, its noise and height fog.
#include <cstdint>

#include "core/Math.h"

namespace ProjectTavrin {

struct VolumetricParams {
    /// Steps along each ray.
    int32_t SampleCount = 16;
    float Scattering = 0.3f;
    float Extinction = 0.01f;
    float SkyboxExtinction = 0.9f;
    /// Henyey-Greenstein asymmetry: 0 scatters evenly.
    float MieG = 0.0f;
    bool ApplyHeightFog = true;
    /// The two height-fog values; the page writes the first one negated.
    float HeightFog[2] = {0.0f, 0.0f};
    bool UseNoise = true;
    float NoiseScale = 0.015f;
    float NoiseIntensity = 1.0f;
    float NoiseIntensityOffset = 0.3f;
    float NoiseVelocityX = 1.0f;
    float NoiseVelocityZ = 1.0f;
    /// World units.
    float MaxRayLength = 300.0f;
    Math::vec3 LightColor{0.5f, 0.5f, 0.5f};
    /// The way the light travels: minus the sun direction (derived by the settings exchange).
    Math::vec3 LightDir{1.0f, 1.0f, 1.0f};
    /// Copy of the sun switch (derived): shadowed shafts only while the shadow maps are drawn.
    bool UseShadow = false;
};

}  // namespace ProjectTavrin
