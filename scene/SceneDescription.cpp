#include "scene/SceneDescription.h"

namespace ProjectTavrin {

SceneDescription::SceneDescription(FileSearch search) : m_search(std::move(search)) {}

ModelConfig& SceneDescription::AddEntry() {
    auto config = std::make_unique<ModelConfig>();
    config->PmxList = {std::u16string(kSampleMarker), std::u16string(kCameraMarker)};
    config->VmdList = {std::u16string(kNoneMarker)};
    config->Pmx = kSampleMarker;
    config->Vmd = kNoneMarker;
    if (m_search) {
        for (const char16_t* extension : {u".pmx", u".pmd"})
            for (std::u16string& path : m_search(extension)) config->PmxList.push_back(std::move(path));
        for (const char16_t* extension : {u".vmd", u".vpd"})
            for (std::u16string& path : m_search(extension)) config->VmdList.push_back(std::move(path));
    }
    m_modelConfigs.push_back(std::move(config));
    return *m_modelConfigs.back();
}

void SceneDescription::RemoveSelected(std::ptrdiff_t selected) {
    if (selected < 0 || static_cast<size_t>(selected) >= m_modelConfigs.size()) return;
    m_modelConfigs.erase(m_modelConfigs.begin() + selected);
}

void SceneDescription::RemoveAll() { m_modelConfigs.clear(); }

std::vector<SceneEntry> SceneDescription::ReadAll() const {
    std::vector<SceneEntry> entries;
    entries.reserve(m_modelConfigs.size());
    for (const auto& config : m_modelConfigs) entries.push_back(config->ToSceneEntry());
    return entries;
}

}  // namespace ProjectTavrin
