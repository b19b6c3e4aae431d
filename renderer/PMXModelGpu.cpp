#include "renderer/PMXModelGpu.h"

#include "Engine/Platform/CommandList.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <limits>
#include <memory>
#include <stdexcept>

#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "Engine/TextureLoader/TexturePath.h"
#include "assets/SharedToons.h"
#include "core/TextConvert.h"

namespace ProjectTavrin {
namespace {

std::string LowerAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Upload buffers are sized in 32 bits; a model too large for that cannot be drawn.
void CheckBufferSize(uint64_t elements, uint64_t elementSize, const char* what) {
    if (elements * elementSize * Engine::kFrameCount > std::numeric_limits<uint32_t>::max())
        throw std::length_error(std::string("model too large for its ") + what + " buffer");
}

}  // namespace

PMXModelGpu::PMXModelGpu(Vesma::PMXModel& model) : m_model(model) {
    Vesma::ReadExtendedMaterials(model.GetModelPath(), m_extended);
    BuildTextureTable();
    BuildMaterials();
}

PMXModelGpu::~PMXModelGpu() = default;

void PMXModelGpu::BuildTextureTable() {
    // The model's paths are its directory joined with each name (a leading "./" dropped); names
    // written on Windows may still use backslashes. An entry's name is its path below the model's
    // directory, as the model file gives it.
    const std::string directory = std::filesystem::path(Utf16ToUtf8(m_model.GetModelPath())).parent_path().generic_string();
    for (const std::u16string& fullPath : m_model.GetTexturePaths()) {
        ModelTexture entry;
        entry.path = Engine::MakeTexturePath({}, fullPath);
        const std::string full = entry.path.generic_string();
        const bool inside = !directory.empty() && full.size() > directory.size() + 1 &&
                            full.compare(0, directory.size(), directory) == 0 && full[directory.size()] == '/';
        entry.name = Utf8ToUtf16(inside ? full.substr(directory.size() + 1) : full);
        m_textures.push_back(std::move(entry));
    }
}

int32_t PMXModelGpu::AppendTexture(std::u16string name, std::filesystem::path path, int sharedToon) {
    ModelTexture entry;
    entry.name = std::move(name);
    entry.path = std::move(path);
    entry.sharedToon = sharedToon;
    m_textures.push_back(std::move(entry));
    return static_cast<int32_t>(m_textures.size() - 1);
}

int32_t PMXModelGpu::SharedToonIndex(int number) {
    if (number < 1 || number > Assets::kSharedToonCount) return -1;
    const std::string file = Assets::SharedToonFileName(number);
    const std::u16string name = Utf8ToUtf16(file);
    // Added after the file's own textures, so an entry of this name is the toon's.
    const std::size_t fileTextures = m_model.GetTexturePaths().size();
    for (std::size_t i = fileTextures; i < m_textures.size(); ++i)
        if (m_textures[i].name == name) return static_cast<int32_t>(i);
    const std::filesystem::path directory = std::filesystem::path(Utf16ToUtf8(m_model.GetModelPath())).parent_path();
    const std::filesystem::path own = directory.empty() ? std::filesystem::path(file) : directory / file;
    if (!m_model.GetModelPath().empty() && Engine::FileExists(own)) return AppendTexture(name, own);
    return AppendTexture(name, {}, number);
}

void PMXModelGpu::FindExtendedMaps(MaterialBuffer& block) {
    if (block.textureIndex < 0 || static_cast<std::size_t>(block.textureIndex) >= m_textures.size()) return;
    const std::filesystem::path diffuse = m_textures[static_cast<std::size_t>(block.textureIndex)].path;
    const std::filesystem::path directory = diffuse.parent_path();
    const std::string stem = diffuse.stem().string();
    std::string extension = LowerAscii(diffuse.extension().string());
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);

    const auto find = [&](const char* suffix) -> int32_t {
        const std::string file = stem + suffix + "." + extension;
        const std::filesystem::path path = directory.empty() ? std::filesystem::path(file) : directory / file;
        if (!Engine::FileExists(path)) return -1;
        return AppendTexture(Utf8ToUtf16(file), path);
    };
    block.occlusionTextureIndex = find("_Occlusion");
    block.normalTextureIndex = find("_Normal");
    const auto model = static_cast<Vesma::ShadingModel>(block.shadingModel);
    if (model == Vesma::ShadingModel::Subsurface || model == Vesma::ShadingModel::Skin)
        block.curvatureTextureIndex = find("_Curvature");
    if (model == Vesma::ShadingModel::Subsurface) block.thicknessTextureIndex = find("_Thickness");
}

void PMXModelGpu::BuildMaterials() {
    const std::size_t fileTextures = m_textures.size();
    for (const Vesma::ModelMaterial& material : m_model.GetMaterials()) {
        MaterialBuffer block = DefaultMaterialBuffer();
        ApplyPmxMaterial(block, material.source, fileTextures);
        // Shared toons are numbered from 0 in the file (toon01 is 0).
        if (material.source.toonMode == Vesma::PMXToonMode::Common)
            block.toonTextureIndex = SharedToonIndex(int(material.source.toonTextureIndex) + 1);
        block.beginIndex = static_cast<int32_t>(material.beginIndex);
        block.vertexCount = static_cast<int32_t>(material.indexCount);
        ApplyExtendedMaterial(block, m_extended.Lookup(material.name));
        FindExtendedMaps(block);
        m_materials.push_back(block);
    }
    m_renderMaterials = m_materials;
}

void PMXModelGpu::ClassifyDiffuseAlpha() {
    m_softAlpha.assign(m_materials.size(), false);
    for (std::size_t i = 0; i < m_materials.size(); ++i) {
        const int32_t index = m_materials[i].textureIndex;
        if (index < 0 || static_cast<std::size_t>(index) >= m_textures.size()) continue;
        const ModelTexture& t = m_textures[static_cast<std::size_t>(index)];
        m_softAlpha[i] = t.loaded && t.texture.alpha == Engine::AlphaContent::Soft;
    }
}

bool PMXModelGpu::BindFrameGeometry(Engine::Platform::CommandList& list, uint32_t slot) {
    using namespace Engine::Platform;
    if (!m_gpuReady || !m_vertexBuffer.GetResource() || !m_indexBuffer.GetResource()) return false;
    const VertexBufferView vbv{m_vertexBuffer.GetResource(), m_vertexBuffer.CopyOffset(slot),
                               static_cast<uint32_t>(m_vertexBuffer.CopySize()), sizeof(Vesma::ModelVertex)};
    list.IASetVertexBuffers(0, std::span(&vbv, 1));
    list.IASetIndexBuffer(IndexBufferView{m_indexBuffer.GetResource(), m_indexBuffer.CopyOffset(slot),
                                          static_cast<uint32_t>(m_indexBuffer.CopySize()), Format::R32_UINT});
    return true;
}

std::vector<std::filesystem::path> PMXModelGpu::TextureFiles() const {
    std::vector<std::filesystem::path> files;
    for (const ModelTexture& entry : m_textures)
        if (entry.sharedToon <= 0) files.push_back(entry.path);
    return files;
}

void PMXModelGpu::CreateGpuResources(Engine::EngineCore& core, SceneTextureCache* cache) {
    Engine::Platform::Device& device = *core.GetDevice();
    using Clock = std::chrono::steady_clock;
    const auto texturesStart = Clock::now();

    // On its own the model still decodes its files side by side, each once.
    std::unique_ptr<SceneTextureCache> own;
    if (!cache) {
        own = std::make_unique<SceneTextureCache>();
        own->Prefetch(TextureFiles());
        cache = own.get();
    }
    Engine::ResourceUploadBatch batch(core.GetDeviceShared());
    batch.Begin();
    // The program's own toon images come from memory; files are made into textures in the order
    // their decoding ends, so the GPU work of one overlaps the decoding of the next; only when
    // none is ready does the loop wait.
    const Engine::TextureResource& blank = Engine::GetBlankTexture();
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < m_textures.size(); ++i) {
        ModelTexture& entry = m_textures[i];
        if (entry.sharedToon <= 0) {
            pending.push_back(i);
            continue;
        }
        const auto png = Assets::SharedToonPng(entry.sharedToon);
        if (!Engine::LoadTextureFromMemory(entry.texture, entry.name, {png.data(), png.size()},
                                           Engine::TextureFileType::Other, batch))
            entry.texture = blank;
        entry.loaded = entry.texture.resource && entry.texture.resource != blank.resource;
    }
    while (!pending.empty()) {
        auto next = std::find_if(pending.begin(), pending.end(),
                                 [&](std::size_t i) { return cache->IsReady(m_textures[i].path); });
        if (next == pending.end()) next = pending.begin();
        ModelTexture& entry = m_textures[*next];
        const SceneTextureCache::Texture& texture = cache->Get(entry.path, batch);
        entry.texture = texture.texture;
        entry.loaded = texture.loaded;
        pending.erase(next);
    }
    batch.End(device).wait();
    ClassifyDiffuseAlpha();
    const auto buffersStart = Clock::now();
    m_textureLoadMs = std::chrono::duration<double, std::milli>(buffersStart - texturesStart).count();

    const std::vector<Vesma::ModelVertex>& vertices = m_model.GetOutputVertices();
    const std::vector<uint32_t>& indices = m_model.GetIndices();
    if (!vertices.empty()) {
        CheckBufferSize(vertices.size(), sizeof(Vesma::ModelVertex), "vertex");
        m_vertexBuffer.Create(device, static_cast<uint32_t>(vertices.size()), Engine::kFrameCount, u"ModelVertices");
        for (uint32_t frame = 0; frame < Engine::kFrameCount; ++frame) m_vertexBuffer.CopyToGpu(vertices, frame);
    }
    const std::vector<float>& edgeScales = m_model.GetVertexEdgeScales();
    if (!edgeScales.empty()) {
        m_edgeScaleBuffer.Create(device, static_cast<uint32_t>(edgeScales.size()), 1, u"ModelEdgeScales");
        m_edgeScaleBuffer.CopyToGpu(edgeScales, 0);
    }
    if (!indices.empty()) {
        CheckBufferSize(indices.size(), sizeof(uint32_t), "index");
        m_indexBuffer.Create(device, static_cast<uint32_t>(indices.size()), Engine::kFrameCount, u"ModelIndices");
        for (uint32_t frame = 0; frame < Engine::kFrameCount; ++frame) m_indexBuffer.CopyToGpu(indices, frame);
    }
    if (!m_renderMaterials.empty()) {
        CheckBufferSize(m_renderMaterials.size(), sizeof(MaterialSlot), "material");
        m_materialBuffer.Create(device, static_cast<uint32_t>(m_renderMaterials.size()), Engine::kFrameCount, u"ModelMaterials");
        for (std::size_t i = 0; i < m_renderMaterials.size(); ++i) m_materialBuffer[i].block = m_renderMaterials[i];
        for (uint32_t frame = 0; frame < Engine::kFrameCount; ++frame) m_materialBuffer.CopyStagingToGpu(frame);
    }
    m_bufferUploadMs = std::chrono::duration<double, std::milli>(Clock::now() - buffersStart).count();
    m_gpuReady = true;
}

void PMXModelGpu::Upload(uint32_t frameIndex) {
    // The frame's material morphs: colours and outline from the combined records, texture factors
    // from each.
    const std::vector<Vesma::MaterialMorphResult>& morphs = m_model.GetMaterialMorphResults();
    const std::size_t count = std::min(morphs.size(), m_renderMaterials.size());
    for (std::size_t i = 0; i < count; ++i) {
        MaterialBuffer& block = m_renderMaterials[i];
        const Vesma::MaterialMorphResult& r = morphs[i];
        block.diffuse = r.diffuse;
        block.specular = r.specular;
        block.specularPower = r.specularPower;
        block.ambient = r.ambient;
        block.edgeColor = r.edgeColor;
        block.edgeSize = r.edgeSize;
        block.textureMulFactor = r.textureMulFactor;
        block.spTextureMulFactor = r.spTextureMulFactor;
        block.toonTextureMulFactor = r.toonTextureMulFactor;
        block.textureAddFactor = r.textureAddFactor;
        block.spTextureAddFactor = r.spTextureAddFactor;
        block.toonTextureAddFactor = r.toonTextureAddFactor;
    }
    if (!m_gpuReady) return;

    // Every copy was filled when the buffers were made, so only the frame's own copy changes.
    const uint32_t frame = frameIndex % Engine::kFrameCount;
    const std::vector<Vesma::ModelVertex>& vertices = m_model.GetOutputVertices();
    if (m_vertexBuffer.GetResource() && vertices.size() == m_vertexBuffer.NumElementsPerCopy()) {
        m_vertexBuffer.CopyToGpu(vertices, frame);
    }
    if (m_materialBuffer.GetResource()) {
        for (std::size_t i = 0; i < m_renderMaterials.size(); ++i) m_materialBuffer[i].block = m_renderMaterials[i];
        m_materialBuffer.CopyStagingToGpu(frame);
    }
}

void PMXModelGpu::ResetMaterial(std::size_t index) {
    if (index >= m_renderMaterials.size()) return;
    MaterialBuffer& block = m_renderMaterials[index];
    const int32_t beginIndex = block.beginIndex;
    const int32_t vertexCount = block.vertexCount;
    block = DefaultMaterialBuffer();
    block.beginIndex = beginIndex;
    block.vertexCount = vertexCount;
}

void PMXModelGpu::RestoreMaterial(std::size_t index) {
    if (index >= m_renderMaterials.size()) return;
    m_renderMaterials[index] = m_materials[index];
}

bool PMXModelGpu::WriteExtendedMaterials() const {
    const auto& materials = m_model.GetMaterials();
    std::vector<Vesma::NamedExtendedMaterial> named;
    named.reserve(m_renderMaterials.size());
    for (std::size_t i = 0; i < m_renderMaterials.size() && i < materials.size(); ++i)
        named.push_back({materials[i].name, ExtendedValuesOf(m_renderMaterials[i])});
    return Vesma::WriteExtendedMaterials(m_model.GetModelPath(), named);
}

uint64_t PMXModelGpu::MaterialOffset(std::size_t index, uint32_t frameIndex) const {
    return m_materialBuffer.CopyOffset(frameIndex) + uint64_t(index) * kMaterialSlotStride;
}

uint64_t PMXModelGpu::MaterialAddress(std::size_t index, uint32_t frameIndex) const {
    return m_materialBuffer.GpuVirtualAddress(frameIndex) + uint64_t(index) * kMaterialSlotStride;
}

}  // namespace ProjectTavrin
