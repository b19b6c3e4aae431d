#pragma once
// What one probe volume is: where its grid stands, how dense it is and how its probes blend.
// SetVolumes fills it from the render settings; tests make small volumes of their own.
#include <cstdint>
#include <string>

#include "core/Math.h"

namespace ddgi {

struct ProbeVolumeDesc {
    std::string name;
    Math::vec3 origin{0, 0, 0};
    Math::vec3 probeSpacing{1, 1, 1};
    int32_t probeCounts[3] = {24, 16, 24};
    int32_t irradianceTexels = 6;   ///< the irradiance blend shader works on 6 x 6 tiles
    int32_t distanceTexels = 12;    ///< the distance blend shader works on 12 x 12 tiles
    int32_t raysPerProbe = 144;
    float maxRayDistance = 16384.0f;
    float hysteresis = 0.95f;
    float distanceExponent = 10.0f;
    float irradianceGamma = 2.0f;
    float changeThreshold = 0.25f;
    float brightnessThreshold = 0.1f;
    float viewBias = 4.0f;
    float normalBias = 0.1f;
    float minFrontFaceDistance = 1.0f;
    float backfaceThreshold = 0.25f;

    int32_t ProbeCount() const { return probeCounts[0] * probeCounts[1] * probeCounts[2]; }
};

}  // namespace ddgi
