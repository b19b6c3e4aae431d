#include "Engine/TextureLoader/ColorFilterLut.h"

#include "Engine/EngineCore.h"
#include "assets/SampleColorFilterLut.h"
#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"

namespace Engine {

TextureResource& GetColorFilterLut() {
    // Never destroyed, like the blank texture: no GPU release from an exit handler.
    static TextureResource& lut = *new TextureResource;
    return lut;
}

void LoadColorFilterLut(const std::filesystem::path& path) {
    EngineCore& core = *EngineCore::GetInstance();
    TextureResource& lut = GetColorFilterLut();
    ResourceUploadBatch batch(core.GetDeviceShared());
    batch.Begin();
    if (path.native() == "<Sample>") {
        const std::span<const uint8_t> text(reinterpret_cast<const uint8_t*>(Assets::kSampleColorFilterLut),
                                            Assets::kSampleColorFilterLutSize);
        LoadTextureFromMemory(lut, u"<Sample>", text, TextureFileType::Cube, batch);
    } else if (!FileExists(path)) {
        MessageLog::Instance().Append(u"Failed to load texture(Case sensitive) : " + Utf8ToUtf16(path.native()));
    } else {
        const std::vector<uint8_t> bytes = ReadWholeFile(path);
        const bool loaded =
            LoadTextureFromMemory(lut, Utf8ToUtf16(path.native()), bytes, GetTextureFileType(path.native()), batch);
        // The filter samples a 3D table; anything else would be read out of shape.
        if (!loaded || lut.description.dimension != Platform::ResourceDimension::Texture3D) {
            MessageLog::Instance().Append(u"Failed to load colour table : " + Utf8ToUtf16(path.native()));
            lut = TextureResource{};
        }
    }
    batch.End(*core.GetDevice()).wait();
}

}  // namespace Engine
