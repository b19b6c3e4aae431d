#pragma once
// The GPU side of one loaded model: its texture table, its render materials (the shaders'
// MaterialBuffer blocks with a constant-buffer slot per frame in flight), its index buffer and
// its skinned output vertices in upload memory, one copy per frame in flight.
//
// The CPU model (Vesma::PMXModel) knows nothing of the GPU and works without a device. This
// object attaches to a loaded model: construction reads the extended-material file and builds the
// material blocks and the texture table (no device needed); CreateGpuResources loads every texture
// in one upload batch and creates the buffers. From then on whoever runs the model's frame (the
// engine loop, the offline export) calls Upload with the index of the frame in flight once the
// frame has run (Vesma::ModelFrame), which writes the frame's vertices and every material block
// into that frame's copies. The model must outlive this object.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/TextureLoader/TextureLoader.h"
#include "model/ExtendedMaterial.h"
#include "model/PMXModel.h"
#include "renderer/MaterialBuffer.h"
#include "renderer/SceneTextureCache.h"

namespace ProjectTavrin {

/// One texture table entry: the model's PMX textures in file order, then the extended maps and
/// the shared toons its materials name.
struct ModelTexture {
    std::u16string name;         // as the model file names it; for an extended map or toon, its file name
    std::filesystem::path path;  // the file loaded (none for a shared toon carried by the program)
    Engine::TextureResource texture;
    bool loaded = false;  // the file was read and decoded (otherwise the blank texture stands in)
    int sharedToon = 0;   // 1 to 10: the program's own toonNN image, loaded from memory
};

/// A material's constant-buffer slots: material m of frame f lives at
/// f * (materials * kMaterialSlotStride) + m * kMaterialSlotStride in the model's material buffer.
struct alignas(256) MaterialSlot {
    MaterialBuffer block;
};
static_assert(sizeof(MaterialSlot) == 512, "material slots are 256-byte aligned");

class PMXModelGpu {
public:
    static constexpr uint32_t kMaterialSlotStride = sizeof(MaterialSlot);

    /// Builds the material blocks and the texture table of `model` (already loaded), reading
    /// the extended-material file beside it. Needs no device.
    explicit PMXModelGpu(Vesma::PMXModel& model);
    ~PMXModelGpu();
    PMXModelGpu(const PMXModelGpu&) = delete;
    PMXModelGpu& operator=(const PMXModelGpu&) = delete;

    /// Loads every texture through one upload batch (waiting for it) and creates the vertex, index
    /// and material buffers with every frame's copy filled. A model without vertices gets no
    /// buffers. Textures come from `cache` (a scene load's, shared by its models: each file decoded
    /// once, one GPU texture per file), or from a cache of the model's own that decodes its files
    /// side by side.
    void CreateGpuResources(Engine::EngineCore& core, SceneTextureCache* cache = nullptr);
    /// The files of the texture table, in order (a scene load prefetches them).
    std::vector<std::filesystem::path> TextureFiles() const;
    bool HasGpuResources() const { return m_gpuReady; }
    /// Binds the vertex (input slot 0) and index copies of frame slot `slot` for a draw of this
    /// model's materials; false, binding nothing, while the model has nothing to draw.
    bool BindFrameGeometry(Engine::Platform::CommandList& list, uint32_t slot);
    /// Wall-clock milliseconds the last CreateGpuResources spent loading textures (read, decode,
    /// upload and wait) and creating and filling the vertex, index and material buffers.
    double TextureLoadMs() const { return m_textureLoadMs; }
    double BufferUploadMs() const { return m_bufferUploadMs; }

    /// Writes the model's output vertices and every render material (with the frame's material
    /// morph results) into the copies of frame `frameIndex` (taken modulo the frames in flight):
    /// the frame being recorded, which is not always the one being presented (an export renders
    /// frames without presenting). Making the buffers fills every copy, so a frame never reads a
    /// copy that was not written. Before CreateGpuResources only the render blocks change.
    void Upload(uint32_t frameIndex);

    /// The material's block becomes the default block; its own index range is kept so it still
    /// draws its part of the mesh. Reaches the GPU with the next Upload.
    void ResetMaterial(std::size_t index);
    /// The material's block as built at load.
    void RestoreMaterial(std::size_t index);

    /// Writes every material's extended values, in material order, to the file beside the model.
    bool WriteExtendedMaterials() const;

    // ---- data ----
    const Vesma::PMXModel& GetModel() const { return m_model; }
    const std::vector<ModelTexture>& GetTextures() const { return m_textures; }
    /// The blocks as built at load (material morphs start from these; restore copies them).
    const std::vector<MaterialBuffer>& GetMaterials() const { return m_materials; }
    /// The blocks the shaders read; edits take effect at the next Upload.
    std::vector<MaterialBuffer>& GetRenderMaterials() { return m_renderMaterials; }
    const std::vector<MaterialBuffer>& GetRenderMaterials() const { return m_renderMaterials; }
    const Vesma::ExtendedMaterialMap& GetExtendedMaterials() const { return m_extended; }
    /// True when material `index`'s diffuse texture has soft alpha (found as CreateGpuResources
    /// decodes it; false before): such a material is drawn blended.
    bool HasSoftAlphaTexture(std::size_t index) const { return index < m_softAlpha.size() && m_softAlpha[index]; }

    Engine::StructuredBuffer<Vesma::ModelVertex>& GetVertexBuffer() { return m_vertexBuffer; }
    Engine::StructuredBuffer<uint32_t>& GetIndexBuffer() { return m_indexBuffer; }
    Engine::StructuredBuffer<MaterialSlot>& GetMaterialBuffer() { return m_materialBuffer; }
    /// Per vertex, the outline width factor (one copy: it never changes after load).
    Engine::StructuredBuffer<float>& GetEdgeScaleBuffer() { return m_edgeScaleBuffer; }
    /// Device address of material `index`'s block for frame `frameIndex`.
    uint64_t MaterialAddress(std::size_t index, uint32_t frameIndex) const;
    /// Byte offset of the same inside the material buffer.
    uint64_t MaterialOffset(std::size_t index, uint32_t frameIndex) const;

private:
    void BuildTextureTable();
    void BuildMaterials();
    /// Appends the extended maps found beside the diffuse texture of `block`.
    void FindExtendedMaps(MaterialBuffer& block);
    int32_t AppendTexture(std::u16string name, std::filesystem::path path, int sharedToon = 0);
    /// The table index of shared toon `number` (1 to 10): the model's own file of its name beside
    /// the model when there is one, else the program's image; each added once.
    int32_t SharedToonIndex(int number);
    void ClassifyDiffuseAlpha();

    Vesma::PMXModel& m_model;
    Vesma::ExtendedMaterialMap m_extended;
    std::vector<ModelTexture> m_textures;
    std::vector<MaterialBuffer> m_materials;
    std::vector<MaterialBuffer> m_renderMaterials;
    std::vector<bool> m_softAlpha;

    Engine::StructuredBuffer<Vesma::ModelVertex> m_vertexBuffer;
    Engine::StructuredBuffer<uint32_t> m_indexBuffer;
    Engine::StructuredBuffer<MaterialSlot> m_materialBuffer;
    Engine::StructuredBuffer<float> m_edgeScaleBuffer;
    bool m_gpuReady = false;
    double m_textureLoadMs = 0.0;
    double m_bufferUploadMs = 0.0;
};

}  // namespace ProjectTavrin
