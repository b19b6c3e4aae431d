#include "scene/SceneDescription.h"

#include "core/TextConvert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

using namespace ProjectTavrin;
namespace fs = std::filesystem;

// A scratch directory removed at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tavrin-scene-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& Path() const { return m_path; }
    fs::path Touch(const fs::path& relative) const {
        const fs::path full = m_path / relative;
        fs::create_directories(full.parent_path());
        std::ofstream(full) << "x";
        return full;
    }

private:
    fs::path m_path;
};

std::u16string Wide(const fs::path& path) { return Utf8ToUtf16(path.string()); }

FileSearch NoFiles() {
    return [](std::u16string_view) { return std::vector<std::u16string>(); };
}

TEST(SceneDescription, NewEntryWithoutFilesOffersOnlyTheMarkers) {
    TempDir empty;
    SceneDescription scene(DirectorySearch(empty.Path()));
    ModelConfig& entry = scene.AddEntry();
    EXPECT_EQ(entry.PmxList, (std::vector<std::u16string>{u"<Sample>", u"<Camera>"}));
    EXPECT_EQ(entry.VmdList, (std::vector<std::u16string>{u"<None>"}));
    EXPECT_EQ(entry.Pmx, u"<Sample>");
    EXPECT_EQ(entry.Vmd, u"<None>");
    EXPECT_EQ(entry.PositionX, u"");
    EXPECT_EQ(entry.RotateZ, u"");

    const std::vector<SceneEntry> entries = scene.ReadAll();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].IsSample());
    EXPECT_FALSE(entries[0].IsCamera());
    EXPECT_FALSE(entries[0].HasMotion());
    EXPECT_FALSE(entries[0].IsSkipped());
}

TEST(SceneDescription, FoundFilesFollowTheMarkersAsFullPaths) {
    TempDir videos;
    const fs::path a = videos.Touch("a.pmx");
    const fs::path b = videos.Touch("models/deep/nested/B.PMX");  // extension case doesn't matter
    const fs::path dance = videos.Touch("motions/dance.vmd");
    const fs::path old = videos.Touch("models/old.pmd");
    const fs::path pose = videos.Touch("poses/pose.VPD");
    videos.Touch("models/readme.txt");
    videos.Touch("models/backup.pmx.bak");
    videos.Touch("models/pmx");
    fs::create_directories(videos.Path() / "folder.pmx");  // a directory, not a file

    SceneDescription scene(DirectorySearch(videos.Path()));
    const ModelConfig& entry = scene.AddEntry();
    EXPECT_EQ(entry.PmxList, (std::vector<std::u16string>{u"<Sample>", u"<Camera>", Wide(a), Wide(b), Wide(old)}));
    EXPECT_EQ(entry.VmdList, (std::vector<std::u16string>{u"<None>", Wide(dance), Wide(pose)}));
    EXPECT_EQ(entry.Pmx, u"<Sample>");  // finding files doesn't change the choice
    for (const std::u16string& path : entry.PmxList) {
        if (path[0] != u'<') {
            EXPECT_TRUE(fs::path(Utf16ToUtf8(path)).is_absolute());
        }
    }
}

TEST(SceneDescription, MarkersMatchExactly) {
    struct Case {
        std::u16string pmx, vmd;
        bool sample, camera, motion, skipped;
    };
    const Case cases[] = {
        {u"<Sample>", u"<None>", true, false, false, false},
        {u"<Camera>", u"<None>", false, true, false, true},
        {u"<Camera>", u"/v/cam.vmd", false, true, true, false},
        {u"<camera>", u"/v/cam.vmd", false, false, true, false},   // lower case: a file path
        {u"<Camera> ", u"/v/cam.vmd", false, false, true, false},  // trailing blank: a file path
        {u"<Camera", u"<None>", false, false, false, false},
        {u"<Sample> ", u"<None>", false, false, false, false},
        {u"/v/a.pmx", u"<none>", false, false, true, false},       // "<none>" is a motion path
        {u"/v/a.pmx", u"<None> ", false, false, true, false},
        {u"", u"", false, false, true, false},
    };
    for (const Case& c : cases) {
        const SceneEntry e{c.pmx, c.vmd};
        const std::string what = Utf16ToUtf8(c.pmx) + " | " + Utf16ToUtf8(c.vmd);
        EXPECT_EQ(e.IsSample(), c.sample) << what;
        EXPECT_EQ(e.IsCamera(), c.camera) << what;
        EXPECT_EQ(e.HasMotion(), c.motion) << what;
        EXPECT_EQ(e.IsSkipped(), c.skipped) << what;
    }
}

TEST(SceneDescription, ReadAllCopiesOnlyPmxAndVmdInOrder) {
    SceneDescription scene(NoFiles());
    ModelConfig& first = scene.AddEntry();
    ModelConfig& second = scene.AddEntry();
    ModelConfig& third = scene.AddEntry();
    first.Pmx = u"/v/miku.pmx";
    first.Vmd = u"/v/dance.vmd";
    first.PositionX = u"12.5";  // placement texts never reach loading
    first.RotateY = u"90";
    second.Pmx = u"<Camera>";
    second.Vmd = u"/v/camera.vmd";
    third.Pmx = u"/v/miku.pmx";  // the same model twice is two entries
    const std::vector<SceneEntry> expected = {
        {u"/v/miku.pmx", u"/v/dance.vmd"}, {u"<Camera>", u"/v/camera.vmd"}, {u"/v/miku.pmx", u"<None>"}};

    const std::vector<SceneEntry> taken = scene.ReadAll();
    EXPECT_EQ(taken, expected);

    // Edits after the hand-over don't reach the copy already taken.
    first.Pmx = u"<Sample>";
    scene.RemoveAll();
    EXPECT_EQ(taken, expected);
    EXPECT_TRUE(scene.ReadAll().empty());
}

TEST(SceneDescription, RemoveSelectedIgnoresMissingSelection) {
    SceneDescription scene(NoFiles());
    for (const char16_t* name : {u"/a.pmx", u"/b.pmx", u"/c.pmx"}) scene.AddEntry().Pmx = name;
    ModelConfig* last = &scene.At(2);

    scene.RemoveSelected(-1);  // no selection
    scene.RemoveSelected(3);   // past the end
    EXPECT_EQ(scene.Size(), 3u);

    scene.RemoveSelected(1);
    ASSERT_EQ(scene.Size(), 2u);
    EXPECT_EQ(scene.At(0).Pmx, u"/a.pmx");
    EXPECT_EQ(scene.At(1).Pmx, u"/c.pmx");
    EXPECT_EQ(&scene.At(1), last);  // entries the UI binds to don't move

    scene.RemoveAll();
    EXPECT_TRUE(scene.Empty());
    scene.RemoveSelected(0);
    EXPECT_TRUE(scene.Empty());
}

TEST(FileSearch, HostileTreesAreHandled) {
    TempDir videos;
    const fs::path good = videos.Touch("ok/model.pmx");
    // A directory link back to the root must not be followed forever.
    fs::create_directory_symlink(videos.Path(), videos.Path() / "ok" / "loop");
    // A name that isn't UTF-8 could not be opened again from UTF-16, so it is left out.
    videos.Touch(fs::path("bad-\xff\xfe.pmx"));
    // A link to a file counts as the file.
    fs::create_symlink(good, videos.Path() / "link.pmx");

    const std::vector<std::u16string> found = SearchFiles(videos.Path(), u".pmx");
    EXPECT_EQ(found, (std::vector<std::u16string>{Wide(videos.Path() / "link.pmx"), Wide(good)}));

    EXPECT_TRUE(SearchFiles(videos.Path() / "missing", u".pmx").empty());
    EXPECT_TRUE(SearchFiles(good, u".pmx").empty());  // a file is not a folder to search
    EXPECT_TRUE(SearchFiles(fs::path(), u".pmx").empty());
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        m_had = std::getenv(name) != nullptr;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_had) ::setenv(m_name, m_old.c_str(), 1);
        else ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(VideosDirectory, UsesTheConfiguredFolderElseHomeVideos) {
    TempDir home;
    const ScopedEnv homeEnv("HOME", home.Path().string());
    const ScopedEnv configEnv("XDG_CONFIG_HOME", (home.Path() / "config").string());

    // Not configured: xdg-user-dir answers with the home folder itself (or isn't installed).
    EXPECT_EQ(VideosDirectory(), home.Path() / "Videos");

    fs::create_directories(home.Path() / "config");
    std::ofstream(home.Path() / "config" / "user-dirs.dirs") << "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n";
    const fs::path configured = VideosDirectory();
    if (std::system("command -v xdg-user-dir >/dev/null 2>&1") == 0) {
        EXPECT_EQ(configured, home.Path() / "Filme");
    } else {
        EXPECT_EQ(configured, home.Path() / "Videos");
    }

    // A videos folder set to the home folder means "disabled", never "search all of home".
    std::ofstream(home.Path() / "config" / "user-dirs.dirs") << "XDG_VIDEOS_DIR=\"$HOME/\"\n";
    EXPECT_EQ(VideosDirectory(), home.Path() / "Videos");
}

}  // namespace
