#pragma once
// The audio output on SDL2's audio subsystem (the driver SDL picks, or SDL_AUDIODRIVER's:
// "dummy" and "disk" need no sound card). SDL converts the float stereo stream to whatever the
// device takes.
#include <memory>

#include "scene/AudioOutput.h"

namespace ProjectTavrin {

/// A closed SDL output; Open initialises SDL's audio subsystem and opens the default device.
std::unique_ptr<AudioOutput> MakeSdlAudioOutput();

}  // namespace ProjectTavrin
