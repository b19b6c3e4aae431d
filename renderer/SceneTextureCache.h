#pragma once
// The textures of one scene load. Each file is decoded once, on worker threads, from the moment a
// model names it (Prefetch), and made into one GPU texture that every model and material naming
// it shares; a missing or undecodable file is reported once and stands in as the blank texture.
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "Engine/TextureLoader/TextureDecodeQueue.h"
#include "Engine/TextureLoader/TextureLoader.h"

namespace ProjectTavrin {

class SceneTextureCache {
public:
    /// Needs the device (EngineCore) to exist: images are fitted to its size limit.
    SceneTextureCache();
    SceneTextureCache(const SceneTextureCache&) = delete;
    SceneTextureCache& operator=(const SceneTextureCache&) = delete;

    /// Starts decoding each of `paths` in the background (files asked for before are skipped).
    void Prefetch(const std::vector<std::filesystem::path>& paths);

    struct Texture {
        Engine::TextureResource texture;
        bool loaded = false;  ///< false: the blank texture stands in
    };
    /// The texture of `path`. The first time, its decoded file is taken (waiting for it if a
    /// worker is at it) and the texture's upload and mip chain are recorded on `batch`, which the
    /// caller ends and waits for before drawing with it; later calls give the same texture.
    const Texture& Get(const std::filesystem::path& path, Engine::ResourceUploadBatch& batch);

    /// True when Get(path) will not wait: its texture is made, or its file is decoded.
    bool IsReady(const std::filesystem::path& path) const;

    /// Files read and decoded (each once), and the milliseconds spent decoding them (summed over
    /// the threads, most of it beside the model build).
    uint32_t FilesDecoded() const { return m_decoder.FilesDecoded(); }
    double DecodeMilliseconds() const { return m_decoder.DecodeMilliseconds(); }
    /// Milliseconds the caller of Get waited for decoding that was not finished.
    double WaitMilliseconds() const { return m_waitMs; }

private:
    Engine::TextureDecodeQueue m_decoder;
    std::unordered_map<std::string, Texture> m_textures;
    double m_waitMs = 0.0;
};

}  // namespace ProjectTavrin
