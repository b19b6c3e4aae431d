// tavrin-bench-character DIR: writes the textured benchmark character (character.pmx, its motion
// character.vmd and 20 textures) into DIR, for `tavrin-render --profile DIR/character.pmx
// DIR/character.vmd`.
#include <cstdio>
#include <exception>

#include "tests/support/TexturedCharacter.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavrin-bench-character DIR\n");
        return 2;
    }
    try {
        const TestSupport::TexturedCharacterFiles files = TestSupport::WriteTexturedCharacter(argv[1]);
        std::printf("%s\n%s\n", files.model.c_str(), files.motion.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrin-bench-character: %s\n", e.what());
        return 1;
    }
    return 0;
}
