#include "model/io/VmdWriter.h"
#include "tools/generators/demo/Motions.h"
#include "tools/generators/demo/Tempo.h"

namespace DemoScene {

using namespace Vesma;
using Math::vec3;

namespace {

struct Shot {
    int beat;
    vec3 interest;  // file coordinates
    vec3 rotation;  // radians: x tilts (negative looks down), y orbits
    float distance;
    uint32_t viewAngle;
};

}  // namespace

VMDFile BuildCameraMotion() {
    VMDFile file;
    file.header = VmdSignature();
    file.modelName = VmdModelName(u"カメラ・照明");
    const vec3 dancer = kDancePlace + vec3{0, 10.5f, 0};
    // Two keys one frame apart make a cut; every other pair of keys glides.
    const Shot shots[] = {
        {0, dancer, {-0.1f, 0.0f, 0.0f}, -46.0f, 30},
        {4, dancer, {-0.08f, 0.45f, 0.0f}, -40.0f, 30},
        {8, dancer + vec3{0, -1.0f, 0}, {-0.22f, -0.35f, 0.0f}, -48.0f, 32},
        {12, dancer + vec3{0, 2.5f, 0}, {-0.05f, -0.1f, 0.0f}, -26.0f, 28},
        {15, dancer + vec3{0, 2.5f, 0}, {-0.05f, 0.2f, 0.0f}, -24.0f, 28},
        {16, {0, 6.0f, -4.0f}, {-0.3f, 0.0f, 0.0f}, -52.0f, 34},
        {20, {0, 7.0f, -5.0f}, {-0.25f, 0.25f, 0.0f}, -46.0f, 34},
    };
    constexpr int kCutBeat = 16;
    for (const Shot& shot : shots) {
        const int frame = shot.beat * Tempo::kFramesPerBeat;
        // Before the cut the previous shot holds until the frame before it.
        if (shot.beat == kCutBeat) {
            VMDCameraKey hold = file.cameraKeys.back();
            hold.frame = static_cast<uint32_t>(frame - 1);
            file.cameraKeys.push_back(hold);
        }
        VMDCameraKey key;
        key.frame = static_cast<uint32_t>(frame);
        key.distance = shot.distance;
        key.interest = shot.interest;
        key.rotation = shot.rotation;
        key.interpolation = VmdCameraCurves(40, 0, 88, 127);
        key.viewAngle = shot.viewAngle;
        file.cameraKeys.push_back(key);
    }
    return file;
}

}  // namespace DemoScene
