// tavrin-render and tavrin-export run as a user runs them: a model, motion, camera or audio file
// that cannot be read ends the command with exit status 1, names the file and writes nothing; a
// missing texture is printed on standard error and the command goes on.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/TextConvert.h"
#include "tests/scene/SceneFiles.h"

namespace {

struct CommandResult {
    int status = -1;
    std::string errors;  // what the command wrote on standard error
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args) {
    std::string line = Quote(program);
    for (const std::string& arg : args) line += " " + Quote(arg);
    line += " 2>&1 >/dev/null";
    CommandResult result;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.errors.append(buffer, read);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool NoDevice(const CommandResult& result) { return result.errors.find("No Vulkan device found") != std::string::npos; }

class HeadlessCommands : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return Utf16ToUtf8(files.Path(name)); }
    std::string Model() const { return Utf16ToUtf8(files.Model("rig.pmx", u"rig")); }

    SceneTest::SceneFiles files;
};

TEST_F(HeadlessCommands, RenderRefusesFilesItCannotReadAndWritesNothing) {
    const std::string model = Model();
    const std::string broken = Utf16ToUtf8(files.BrokenMotion("broken.vmd"));
    const std::string out = File("pictures");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{File("missing.pmx")}, File("missing.pmx")},
        {{model, File("missing.vmd")}, File("missing.vmd")},
        {{model, "--camera", File("no camera.vmd")}, File("no camera.vmd")},
        {{"<Sample>", "--camera", File("missing.vmd")}, File("missing.vmd")},
        // There, but not a motion: found while loading, still before any picture.
        {{model, broken}, broken},
    };
    for (const auto& [args, named] : cases) {
        SCOPED_TRACE(named);
        std::vector<std::string> command = args;
        command.insert(command.end(), {"--size", "64x64", "--out", out});
        const CommandResult result = RunCommand(TAVRIN_RENDER_EXE, command);
        if (NoDevice(result)) GTEST_SKIP() << "no Vulkan device";
        EXPECT_EQ(result.status, 1) << result.errors;
        EXPECT_NE(result.errors.find(named), std::string::npos) << result.errors;
        EXPECT_FALSE(std::filesystem::exists(out)) << "nothing is written";
    }
}

TEST_F(HeadlessCommands, ExportRefusesFilesItCannotReadAndWritesNothing) {
    const std::string model = Model();
    std::ofstream(File("words.wav")) << "not a sound";
    const std::string video = File("out.mp4");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{File("missing.pmx")}, File("missing.pmx")},
        {{model, File("missing.vmd")}, File("missing.vmd")},
        {{model, "--camera", File("missing camera.vmd")}, File("missing camera.vmd")},
        {{model, "--audio", File("missing.wav")}, File("missing.wav")},
        {{model, "--audio", File("words.wav")}, File("words.wav")},
    };
    for (const auto& [args, named] : cases) {
        SCOPED_TRACE(named);
        std::vector<std::string> command = args;
        command.insert(command.end(), {"--size", "64x48", "--seconds", "0.1", "-o", video});
        const CommandResult result = RunCommand(TAVRIN_EXPORT_EXE, command);
        if (NoDevice(result)) GTEST_SKIP() << "no Vulkan device";
        EXPECT_EQ(result.status, 1) << result.errors;
        EXPECT_NE(result.errors.find(named), std::string::npos) << result.errors;
        EXPECT_EQ(result.errors.find("Exporting"), std::string::npos) << "no export starts: " << result.errors;
        EXPECT_FALSE(std::filesystem::exists(video));
        // Not even the temporary file is left behind.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(File("")), {}), 2) << "rig, words and nothing else";
    }
}

TEST_F(HeadlessCommands, AMissingTextureIsPrintedAndTheCommandGoesOn) {
    const std::string model = Utf16ToUtf8(files.Model("textured.pmx", u"textured", u"skin.png"));
    const std::string out = File("pictures");
    const CommandResult render = RunCommand(TAVRIN_RENDER_EXE, {model, "--size", "64x64", "--out", out});
    if (NoDevice(render)) GTEST_SKIP() << "no Vulkan device";
    EXPECT_EQ(render.status, 0) << render.errors;
    EXPECT_NE(render.errors.find("Failed to load texture(Case sensitive) : " + File("skin.png")), std::string::npos)
        << render.errors;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(out) / "frame_00000.png"));

    const std::string video = File("out.mp4");
    const CommandResult exported =
        RunCommand(TAVRIN_EXPORT_EXE, {model, "--size", "64x48", "--seconds", "0.1", "--preset", "ultrafast", "-o", video});
    EXPECT_EQ(exported.status, 0) << exported.errors;
    EXPECT_NE(exported.errors.find("Failed to load texture(Case sensitive) : " + File("skin.png")), std::string::npos)
        << exported.errors;
    EXPECT_TRUE(std::filesystem::exists(video));
}

}  // namespace
