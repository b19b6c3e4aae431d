// tavrin-inspect --materials MODEL.pmx: every material's shader block as the renderer builds it
// (PMX values, extended values, texture indices, index range) and each texture it names, with
// whether the file was found and decoded. Loads the textures, so it needs a Vulkan device.
#include <exception>
#include <string>

#include "Engine/EngineCore.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "model/ExtendedMaterial.h"
#include "model/PMXModel.h"
#include "renderer/PMXModelGpu.h"
#include "tools/inspect/Inspect.h"

namespace Inspect {
namespace {

Value Vec(const Math::vec3& v) {
    Value out = Value::Array();
    for (int i = 0; i < 3; ++i) out.Push(v[i]);
    return out;
}

Value Vec(const Math::vec4& v) {
    Value out = Value::Array();
    for (int i = 0; i < 4; ++i) out.Push(v[i]);
    return out;
}

Value TextureEntry(const ProjectTavrin::PMXModelGpu& gpu, int32_t index) {
    const auto& textures = gpu.GetTextures();
    if (index < 0 || static_cast<std::size_t>(index) >= textures.size()) return Value();
    Value out = Value::Object();
    out.Set("path", textures[static_cast<std::size_t>(index)].path.string());
    out.Set("loaded", textures[static_cast<std::size_t>(index)].loaded);
    return out;
}

Value Block(const ProjectTavrin::MaterialBuffer& b) {
    Value out = Value::Object();
    out.Set("diffuse", Vec(b.diffuse));
    out.Set("specular", Vec(b.specular));
    out.Set("specularPower", b.specularPower);
    out.Set("ambient", Vec(b.ambient));
    out.Set("edgeSize", b.edgeSize);
    out.Set("edgeColor", Vec(b.edgeColor));
    out.Set("textureIndex", b.textureIndex);
    out.Set("spTextureIndex", b.spTextureIndex);
    out.Set("spTextureMode", b.spTextureMode);
    out.Set("toonTextureIndex", b.toonTextureIndex);
    out.Set("subsurfaceColor", Vec(b.subsurfaceColor));
    out.Set("subsurface", b.subsurface);
    out.Set("baseColorTint", Vec(b.baseColorTint));
    out.Set("metallic", b.metallic);
    out.Set("specularTint", Vec(b.specularTint));
    out.Set("roughness", b.roughness);
    out.Set("emission", b.emission);
    out.Set("curvature", b.curvature);
    out.Set("thickness", b.thickness);
    out.Set("occlusion", b.occlusion);
    out.Set("clothFuzzColor", Vec(b.clothFuzzColor));
    out.Set("cloth", b.cloth);
    out.Set("clearCoat", b.clearCoat);
    out.Set("clearCoatRoughness", b.clearCoatRoughness);
    out.Set("anisotropy", b.anisotropy);
    out.Set("shadingModelValue", b.shadingModel);
    out.Set("curvatureTextureIndex", b.curvatureTextureIndex);
    out.Set("thicknessTextureIndex", b.thicknessTextureIndex);
    out.Set("occlusionTextureIndex", b.occlusionTextureIndex);
    out.Set("normalTextureIndex", b.normalTextureIndex);
    out.Set("bothFace", b.bothFace);
    out.Set("shadowCaster", b.shadowCaster);
    out.Set("shadowReceiver", b.shadowReceiver);
    out.Set("edgeFlag", b.edgeFlag);
    out.Set("beginIndex", b.beginIndex);
    out.Set("vertexCount", b.vertexCount);
    return out;
}

Value Messages(const std::string& log) {
    Value out = Value::Array();
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find("\r\n", start);
        if (end == std::string::npos) end = log.size();
        if (end > start) out.Push(log.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

bool Accepts(const Args& args) { return args.Has("materials"); }

int Run(const Args& args) {
    if (args.files.size() != 1) return Fail(args, "--materials needs one model file (or \"<Sample>\")");
    std::shared_ptr<Engine::EngineCore> core;
    try {
        core = Engine::EngineCore::GetInstance();
        core->SetHeadlessOutput(16, 16);
    } catch (const std::exception& e) {
        return Fail(args, std::string("--materials loads textures and needs a Vulkan device: ") + e.what());
    }

    MessageLog::Instance().Clear();
    Vesma::PMXModel model;
    const std::u16string path = Utf8ToUtf16(args.files[0]);
    if (!model.Load(path) && model.GetMaterials().empty()) {
        const std::string log = TakeLogUtf8();
        return Fail(args, log.empty() ? "could not load " + args.files[0] : log);
    }
    ProjectTavrin::PMXModelGpu gpu(model);
    try {
        gpu.CreateGpuResources(*core);
    } catch (const std::exception& e) {
        return Fail(args, std::string("GPU resources: ") + e.what());
    }

    Value out = Value::Object();
    Value& materials = out.Set("materials", Value::Array());
    const auto& blocks = gpu.GetRenderMaterials();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const ProjectTavrin::MaterialBuffer& b = blocks[i];
        Value& m = materials.Push(Value::Object());
        m.Set("name", std::u16string_view(model.GetMaterials()[i].name));
        m.Set("shadingModel", std::string(Vesma::ShadingModelName(b.shadingModel)));
        Value& textures = m.Set("textures", Value::Object());
        textures.Set("diffuse", TextureEntry(gpu, b.textureIndex));
        textures.Set("sphere", TextureEntry(gpu, b.spTextureIndex));
        textures.Set("toon", TextureEntry(gpu, b.toonTextureIndex));
        textures.Set("normal", TextureEntry(gpu, b.normalTextureIndex));
        textures.Set("occlusion", TextureEntry(gpu, b.occlusionTextureIndex));
        textures.Set("curvature", TextureEntry(gpu, b.curvatureTextureIndex));
        textures.Set("thickness", TextureEntry(gpu, b.thicknessTextureIndex));
        m.Set("block", Block(b));
    }
    out.Set("messages", Messages(TakeLogUtf8()));
    Emit(args, out);
    return 0;
}

}  // namespace

extern const Mode kMaterialsMode = {
    "materials", "tavrin-inspect --materials [--json] FILE.pmx | \"<Sample>\"   material blocks and textures (needs a Vulkan device)",
    Accepts, Run};

}  // namespace Inspect
