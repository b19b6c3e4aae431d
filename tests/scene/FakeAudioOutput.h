#pragma once
// An audio output the test drives by hand: Pull asks the player for samples as a device thread
// would (only while started), and the test decides when and how much. It can also refuse to open,
// as on a machine without a sound card.
#include <memory>
#include <string>
#include <vector>

#include "scene/AudioOutput.h"

namespace SceneTest {

struct FakeDevice {
    bool refuseOpen = false;
    int latencyFrames = 512;
    bool open = false;
    bool started = false;
    int opens = 0;
    ProjectTavrin::AudioFormat format;
    ProjectTavrin::AudioOutput::Fill fill;

    /// Pulls `frames` frames if started; returns what the device would play (empty when paused).
    std::vector<float> Pull(int frames) {
        if (!open || !started || frames <= 0) return {};
        std::vector<float> samples(static_cast<size_t>(frames) * format.channels, 123.0f);
        fill(samples.data(), frames);
        return samples;
    }
};

class FakeAudioOutput final : public ProjectTavrin::AudioOutput {
public:
    explicit FakeAudioOutput(std::shared_ptr<FakeDevice> device) : m_device(std::move(device)) {}
    ~FakeAudioOutput() override { m_device->open = m_device->started = false; }

    bool Open(const ProjectTavrin::AudioFormat& format, Fill fill) override {
        if (m_device->refuseOpen) return false;
        ++m_device->opens;
        m_device->open = true;
        m_device->format = format;
        m_device->fill = std::move(fill);
        return true;
    }
    void Start() override { m_device->started = true; }
    void Pause() override { m_device->started = false; }
    int LatencyFrames() const override { return m_device->latencyFrames; }
    std::string Error() const override { return "the test machine has no sound card"; }

private:
    std::shared_ptr<FakeDevice> m_device;
};

}  // namespace SceneTest
