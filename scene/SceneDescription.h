#pragma once
// The scene list the model load page edits (`m_modelConfigs`): an ordered list of ModelConfig
// entries. Entry order is load order. The list lives in memory only.
#include "scene/ModelConfig.h"
#include "scene/VideoLibrary.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace ProjectTavrin {

class SceneDescription {
public:
    /// `search` fills each new entry's PmxList and VmdList; by default the videos directory.
    explicit SceneDescription(FileSearch search = VideosLibrarySearch());

    /// Creates an entry and appends it: the choices start with the markers ("<Sample>",
    /// "<Camera>"; "<None>"), then the search's ".pmx" then ".pmd" files, and its ".vmd" then
    /// ".vpd" files, each in the order it returns them; Pmx is "<Sample>" and Vmd is "<None>".
    /// Blocks until the searches are done. The page
    /// calls this once when it is created, so a new page starts with one entry.
    ModelConfig& AddEntry();

    /// Removes the entry at `selected`; does nothing when `selected` is negative (no selection)
    /// or past the end.
    void RemoveSelected(std::ptrdiff_t selected);
    void RemoveAll();

    /// A copy of every entry's Pmx and Vmd, in order, for scene loading. Later edits of the list
    /// don't change a copy already taken.
    std::vector<SceneEntry> ReadAll() const;

    size_t Size() const { return m_modelConfigs.size(); }
    bool Empty() const { return m_modelConfigs.empty(); }
    /// Entries keep their address while they are in the list (the UI binds to them).
    ModelConfig& At(size_t index) { return *m_modelConfigs.at(index); }
    const ModelConfig& At(size_t index) const { return *m_modelConfigs.at(index); }

private:
    FileSearch m_search;
    std::vector<std::unique_ptr<ModelConfig>> m_modelConfigs;
};

}  // namespace ProjectTavrin
