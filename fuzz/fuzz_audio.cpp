// Feeds arbitrary bytes, as a file, to the audio decoder: open, read to the end (or a bound),
// seek into the middle and read again. Any crash, hang or sanitizer report is a bug: a file is
// either refused or read to an end.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "scene/AudioDecoder.h"

namespace {

// FFmpeg reads files by name, so each input is written to one scratch file of this process.
std::filesystem::path ScratchFile() {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tavrin-fuzz-audio-" + std::to_string(getpid()));
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path path = ScratchFile();
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, file);
        std::fclose(file);
    } else {
        return 0;
    }
    ProjectTavrin::AudioDecoder decoder;
    if (!decoder.Open(path, ProjectTavrin::AudioFormat{})) return 0;
    std::vector<float> buffer(2 * 4096);
    // Ten minutes of output is far more than any input of fuzzing size can honestly hold.
    constexpr int64_t kMaxFrames = 48'000 * 600;
    int64_t total = 0;
    for (int got; (got = decoder.Read(buffer.data(), 4096)) > 0;) {
        total += got;
        if (total > kMaxFrames) __builtin_trap();
    }
    if (decoder.Seek(decoder.DurationTicks() / 2)) {
        for (int got; (got = decoder.Read(buffer.data(), 4096)) > 0;) {
            total += got;
            if (total > 2 * kMaxFrames) __builtin_trap();
        }
    }
    return 0;
}
