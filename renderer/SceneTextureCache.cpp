#include "renderer/SceneTextureCache.h"

#include <chrono>

namespace ProjectTavrin {

SceneTextureCache::SceneTextureCache() : m_decoder(Engine::DeviceMaxImageSide()) {}

void SceneTextureCache::Prefetch(const std::vector<std::filesystem::path>& paths) {
    for (const std::filesystem::path& path : paths) m_decoder.Request(path);
}

bool SceneTextureCache::IsReady(const std::filesystem::path& path) const {
    return m_textures.count(path.lexically_normal().generic_string()) != 0 || m_decoder.IsReady(path);
}

const SceneTextureCache::Texture& SceneTextureCache::Get(const std::filesystem::path& path, Engine::ResourceUploadBatch& batch) {
    const std::string key = path.lexically_normal().generic_string();
    if (auto found = m_textures.find(key); found != m_textures.end()) return found->second;
    const auto start = std::chrono::steady_clock::now();
    const std::shared_ptr<const Engine::DecodedTextureFile> file = m_decoder.Take(path);
    m_waitMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Texture& texture = m_textures[key];
    texture.loaded = Engine::LoadDecodedTexture(texture.texture, *file, batch);
    return texture;
}

}  // namespace ProjectTavrin
