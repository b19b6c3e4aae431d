#include "renderer/RenderSettings.h"

namespace ProjectTavrin {

RenderConfigBuffer DefaultRenderConfig() {
    RenderConfigBuffer c{};
    c.SunDirection = {1.0f, 1.0f, 1.0f};
    c.SunLightEnable = 0;
    c.SunColor = {1.0f, 1.0f, 1.0f};
    c.SunIntensity = 2.0f;
    c.AmbientColor = {1.0f, 1.0f, 1.0f};
    c.AmbientIntensity = 1.0f;
    c.GI_Enable = 0;
    c.GI_Diffuse_Strength = 1.0f;
    c.GI_Specular_Strength = 1.0f;
    c.GI_AO_Strength = 2.0f;
    c.IBL_Enable = 0;
    c.AO_Mode = 0;
    c.SR_Mode = 0;
    c.GI_Mode = 0;
    c.SSS_Enable = 0;
    c.SkyLightUpperLimit = 100.0f;
    return c;
}

OceanParam DefaultOceanParam() {
    OceanParam o{};
    o.SEA_HEIGHT = 0.6f;
    o.SEA_CHOPPY = 4.0f;
    o.SEA_SPEED = 0.8f;
    o.SEA_FREQ = 0.16f;
    o.SEA_TIME = 0.0f;
    o.SEA_BASE = {0.1f, 0.19f, 0.22f};
    o.SEA_WATER_COLOR = {0.8f, 0.9f, 0.6f};
    o.SEA_SURFACE_HEIGHT = 0.0f;
    return o;
}

}  // namespace ProjectTavrin
