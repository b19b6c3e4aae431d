#pragma once
// The file search that offers model and motion files: the user's videos directory
// (`xdg-user-dir VIDEOS`, else ~/Videos), searched recursively.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ProjectTavrin {

/// Returns the full paths (UTF-16) of the files with one extension (".pmx"), in a stable order.
using FileSearch = std::function<std::vector<std::u16string>(std::u16string_view extension)>;

/// The user's videos directory: what `xdg-user-dir VIDEOS` names, unless it names the home
/// directory itself (which means the videos directory isn't configured) or fails; then
/// $HOME/Videos. Empty when neither can be worked out.
std::filesystem::path VideosDirectory();

/// Every regular file under `root` (recursively, following no directory links) whose extension
/// equals `extension` ignoring ASCII case, as full UTF-16 paths sorted by path. Unreadable
/// folders are skipped; a missing root yields nothing. Names that are not valid UTF-8 are left
/// out, since they could not be opened again from their UTF-16 form.
std::vector<std::u16string> SearchFiles(const std::filesystem::path& root, std::u16string_view extension);

/// A search of one fixed directory.
FileSearch DirectorySearch(std::filesystem::path root);
/// A search of the videos directory, looked up anew on each call.
FileSearch VideosLibrarySearch();

}  // namespace ProjectTavrin
