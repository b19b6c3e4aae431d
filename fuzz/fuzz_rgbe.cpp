// Feeds arbitrary bytes to the Radiance RGBE reader. Every input must be answered with a result
// code; a decoded image holds exactly width × height half-float RGBA pixels.
#include "Engine/TextureLoader/HDRTextureLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The reader reports each failure on the error stream; keep the fuzzer's output readable.
    std::freopen("/dev/null", "w", stderr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Engine::DecodedTexture out;
    if (Engine::DecodeHdr(std::span<const uint8_t>(data, size), out) != Engine::DecodeResult::Ok) {
        if (!out.pixels.empty()) std::abort();
        return 0;
    }
    const uint64_t expected = uint64_t(out.desc.width) * out.desc.height * 8;
    if (out.pixels.size() != expected || out.subresources.size() != 1) std::abort();
    if (out.subresources[0].slicePitch != expected) std::abort();
    return 0;
}
