// Build-time generator of the demo scene, written as ordinary files into one folder so that the
// player, the command-line tools and the tests load it like any user's files.
//
// Usage: gen_demo_scene <output folder>
//
// Writes mannequin.pmx (the dancer), dance.vmd (its motion), camera.vmd (the camera motion) and
// music.wav (the soundtrack), all on one tempo. The stage is the built-in sample model, written
// beside them by gen_sample_model. Every file is written to a temporary name and renamed, and
// the same bytes come out on every run.
#include <cstdio>
#include <filesystem>
#include <span>
#include <vector>

#include "core/FileIO.h"
#include "model/io/PmxWriter.h"
#include "model/io/VmdWriter.h"
#include "tools/generators/demo/Mannequin.h"
#include "tools/generators/demo/Motions.h"
#include "tools/generators/demo/MusicTrack.h"

namespace {

bool Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    if (WriteWholeFileAtomic(path, std::span<const uint8_t>(bytes))) return true;
    std::fprintf(stderr, "gen_demo_scene: cannot write %s\n", path.string().c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_demo_scene <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "gen_demo_scene: cannot create %s: %s\n", folder.string().c_str(), error.message().c_str());
        return 1;
    }
    const bool ok = Write(folder / "mannequin.pmx", Vesma::WritePmx(DemoScene::BuildMannequin())) &&
                    Write(folder / "dance.vmd", Vesma::WriteVmd(DemoScene::BuildDanceMotion())) &&
                    Write(folder / "camera.vmd", Vesma::WriteVmd(DemoScene::BuildCameraMotion())) &&
                    Write(folder / "music.wav", DemoScene::BuildMusicTrack());
    return ok ? 0 : 1;
}
