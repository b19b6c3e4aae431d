#include "scene/SdlAudioOutput.h"

#include <SDL.h>

#include <utility>

namespace ProjectTavrin {
namespace {

// Frames per device buffer: about 21 ms at 48 kHz, short enough that the position estimate
// between two fills stays well inside one animation frame.
constexpr Uint16 kBufferFrames = 1024;

class SdlAudioOutput final : public AudioOutput {
public:
    ~SdlAudioOutput() override { Close(); }

    bool Open(const AudioFormat& format, Fill fill) override {
        Close();
        // SDL would otherwise turn SIGINT and SIGTERM into quit events nobody reads: the programs
        // handle those signals themselves.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            m_error = std::string("the audio system cannot start: ") + SDL_GetError();
            return false;
        }
        m_initialised = true;
        m_fill = std::move(fill);
        m_channels = format.channels;
        SDL_AudioSpec want{};
        want.freq = format.sampleRate;
        want.format = AUDIO_F32SYS;
        want.channels = static_cast<Uint8>(format.channels);
        want.samples = kBufferFrames;
        want.callback = &SdlAudioOutput::Callback;
        want.userdata = this;
        // No changes allowed: SDL converts our stream to the device's format, so the fill
        // callback always sees the format asked for.
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &m_obtained, 0);
        if (m_device == 0) {
            m_error = std::string("no audio device could be opened: ") + SDL_GetError();
            Close();
            return false;
        }
        return true;
    }

    void Start() override {
        if (m_device) SDL_PauseAudioDevice(m_device, 0);
    }

    void Pause() override {
        // SDL takes the device lock here, so a running callback finishes first.
        if (m_device) SDL_PauseAudioDevice(m_device, 1);
    }

    int LatencyFrames() const override { return m_device ? m_obtained.samples : 0; }
    std::string Error() const override { return m_error; }

private:
    static void Callback(void* userdata, Uint8* stream, int bytes) {
        auto* self = static_cast<SdlAudioOutput*>(userdata);
        const int frameBytes = static_cast<int>(sizeof(float)) * self->m_channels;
        self->m_fill(reinterpret_cast<float*>(stream), bytes / frameBytes);
    }

    void Close() {
        if (m_device) SDL_CloseAudioDevice(m_device);
        m_device = 0;
        if (m_initialised) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_initialised = false;
    }

    SDL_AudioDeviceID m_device = 0;
    SDL_AudioSpec m_obtained{};
    bool m_initialised = false;
    int m_channels = 2;
    Fill m_fill;
    std::string m_error;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeSdlAudioOutput() { return std::make_unique<SdlAudioOutput>(); }

}  // namespace ProjectTavrin
