#include "scene/VideoLibrary.h"

#include "core/TextConvert.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace ProjectTavrin {

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

std::string RunXdgUserDir() {
    FILE* pipe = ::popen("xdg-user-dir VIDEOS 2>/dev/null", "r");
    if (!pipe) return {};
    std::string output;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return output;
}

bool SameDirectory(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    return a.lexically_normal() == b.lexically_normal();
}

}  // namespace

std::filesystem::path VideosDirectory() {
    const char* home = std::getenv("HOME");
    const std::filesystem::path homeDir = (home && *home) ? std::filesystem::path(home) : std::filesystem::path();
    const std::string named = RunXdgUserDir();
    if (!named.empty() && std::filesystem::path(named).is_absolute() &&
        (homeDir.empty() || !SameDirectory(named, homeDir))) {
        return named;
    }
    if (homeDir.empty()) return {};
    return homeDir / "Videos";
}

std::vector<std::u16string> SearchFiles(const std::filesystem::path& root, std::u16string_view extension) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    const std::string wanted = Utf16ToUtf8(extension);
    std::error_code ec;
    if (root.empty() || !fs::is_directory(root, ec)) return {};
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
    const fs::recursive_directory_iterator end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError)) continue;
        const fs::path& path = it->path();
        if (!EqualsIgnoreAsciiCase(path.extension().native(), wanted)) continue;
        fs::path full = fs::absolute(path, entryError);
        if (entryError) continue;
        found.push_back(full.lexically_normal().native());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::u16string> paths;
    paths.reserve(found.size());
    for (const std::string& path : found) {
        std::u16string wide = Utf8ToUtf16(path);
        if (Utf16ToUtf8(wide) != path) continue;  // not valid UTF-8: unusable once converted
        paths.push_back(std::move(wide));
    }
    return paths;
}

FileSearch DirectorySearch(std::filesystem::path root) {
    return [root = std::move(root)](std::u16string_view extension) { return SearchFiles(root, extension); };
}

FileSearch VideosLibrarySearch() {
    return [](std::u16string_view extension) { return SearchFiles(VideosDirectory(), extension); };
}

}  // namespace ProjectTavrin
