// tavrin-inspect FILE.pmx | FILE.pmd | "<Sample>": a summary of a model as the reader sees it (a PMD
// file as the PMX record its reader makes).
#include <string>

#include "core/TextConvert.h"
#include "model/io/ModelFileReader.h"
#include "model/io/PmdReader.h"
#include "model/io/PmxReader.h"
#include "tools/inspect/Inspect.h"

namespace Inspect {
namespace {

using namespace Vesma;

const char* EncodingName(PMXEncoding encoding) {
    switch (encoding) {
    case PMXEncoding::UTF16: return "UTF-16LE";
    case PMXEncoding::UTF8: return "UTF-8";
    }
    return "unknown";
}

std::string FlagNames(uint16_t flags) {
    static constexpr struct {
        PMXBoneFlags flag;
        const char* name;
    } kNames[] = {
        {PMXBoneFlags::TargetShowMode, "tailBone"},   {PMXBoneFlags::AllowRotate, "rotate"},
        {PMXBoneFlags::AllowTranslate, "translate"},  {PMXBoneFlags::Visible, "visible"},
        {PMXBoneFlags::AllowControl, "control"},      {PMXBoneFlags::IK, "ik"},
        {PMXBoneFlags::AppendLocal, "appendLocal"},   {PMXBoneFlags::AppendRotate, "appendRotate"},
        {PMXBoneFlags::AppendTranslate, "appendTranslate"}, {PMXBoneFlags::FixedAxis, "fixedAxis"},
        {PMXBoneFlags::LocalAxis, "localAxis"},       {PMXBoneFlags::DeformAfterPhysics, "afterPhysics"},
        {PMXBoneFlags::DeformOuterParent, "outerParent"},
    };
    std::string out;
    for (const auto& entry : kNames) {
        if (!HasFlag(flags, entry.flag)) continue;
        if (!out.empty()) out += '|';
        out += entry.name;
    }
    return out;
}

Value Vector(const Math::vec3& v) {
    Value array = Value::Array();
    array.Push(v.x);
    array.Push(v.y);
    array.Push(v.z);
    return array;
}

Value Summary(const std::string& source, size_t bytes, const PMXFile& pmx) {
    const PMXHeader& h = pmx.header;
    Value root = Value::Object();
    root.Set("file", source);
    root.Set("bytes", static_cast<uint64_t>(bytes));
    root.Set("version", h.version);
    root.Set("encoding", EncodingName(h.encoding));
    root.Set("additionalUVs", static_cast<int>(h.additionalUVCount));
    Value& sizes = root.Set("indexSizes", Value::Object());
    sizes.Set("vertex", static_cast<int>(h.vertexIndexSize));
    sizes.Set("texture", static_cast<int>(h.textureIndexSize));
    sizes.Set("material", static_cast<int>(h.materialIndexSize));
    sizes.Set("bone", static_cast<int>(h.boneIndexSize));
    sizes.Set("morph", static_cast<int>(h.morphIndexSize));
    sizes.Set("rigidBody", static_cast<int>(h.rigidBodyIndexSize));
    root.Set("name", std::u16string_view(pmx.modelName));
    root.Set("englishName", std::u16string_view(pmx.englishModelName));
    root.Set("comment", std::u16string_view(pmx.comment));
    root.Set("englishComment", std::u16string_view(pmx.englishComment));

    Value& counts = root.Set("counts", Value::Object());
    counts.Set("vertices", static_cast<uint64_t>(pmx.vertices.size()));
    counts.Set("faces", static_cast<uint64_t>(pmx.faces.size()));
    counts.Set("textures", static_cast<uint64_t>(pmx.textures.size()));
    counts.Set("materials", static_cast<uint64_t>(pmx.materials.size()));
    counts.Set("bones", static_cast<uint64_t>(pmx.bones.size()));
    counts.Set("morphs", static_cast<uint64_t>(pmx.morphs.size()));
    counts.Set("displayFrames", static_cast<uint64_t>(pmx.displayFrames.size()));
    counts.Set("rigidBodies", static_cast<uint64_t>(pmx.rigidBodies.size()));
    counts.Set("joints", static_cast<uint64_t>(pmx.joints.size()));
    counts.Set("softBodies", static_cast<uint64_t>(pmx.softBodies.size()));

    int byType[8] = {};  // group, vertex, bone, uv, additionalUV, material, flip, impulse
    for (const PMXMorph& morph : pmx.morphs) {
        switch (morph.morphType) {
        case PMXMorphType::Group: ++byType[0]; break;
        case PMXMorphType::Position: ++byType[1]; break;
        case PMXMorphType::Bone: ++byType[2]; break;
        case PMXMorphType::UV: ++byType[3]; break;
        case PMXMorphType::AddUV1:
        case PMXMorphType::AddUV2:
        case PMXMorphType::AddUV3:
        case PMXMorphType::AddUV4: ++byType[4]; break;
        case PMXMorphType::Material: ++byType[5]; break;
        case PMXMorphType::Flip: ++byType[6]; break;
        case PMXMorphType::Impulse: ++byType[7]; break;
        }
    }
    Value& morphs = root.Set("morphsByType", Value::Object());
    const char* const kTypeNames[8] = {"group", "vertex", "bone", "uv", "additionalUV", "material", "flip", "impulse"};
    for (int i = 0; i < 8; ++i) morphs.Set(kTypeNames[i], byType[i]);

    Value& bones = root.Set("bones", Value::Array());
    for (size_t i = 0; i < pmx.bones.size(); ++i) {
        const PMXBone& bone = pmx.bones[i];
        Value& entry = bones.Push(Value::Object());
        entry.Set("index", static_cast<uint64_t>(i));
        entry.Set("name", std::u16string_view(bone.name));
        entry.Set("parent", bone.parentBoneIndex);
        entry.Set("flags", static_cast<int>(bone.boneFlag));
        entry.Set("flagNames", FlagNames(bone.boneFlag));
        entry.Set("position", Vector(bone.position));
    }
    return root;
}

bool Accepts(const Args& args) {
    return args.files.size() == 1 &&
           (args.files[0] == "<Sample>" || HasExtension(args.files[0], ".pmx") || HasExtension(args.files[0], ".pmd"));
}

int Run(const Args& args) {
    const std::string& source = args.files[0];
    const std::vector<uint8_t> bytes = LoadInput(source);
    TakeLogUtf8();
    const ModelFileFormat format =
        source == "<Sample>" ? ModelFileFormat::PMX : DetectModelFileFormat(bytes, Utf8ToUtf16(source));
    const bool pmd = format == ModelFileFormat::PMD;
    const auto read = [&](PMXFile& file) {
        return pmd ? ReadPMDFile(file, std::span<const uint8_t>(bytes)) : ReadPMXFile(file, std::span<const uint8_t>(bytes));
    };
    PMXFile pmx;
    if (!read(pmx)) {
        std::string message = TakeLogUtf8();
        if (message.empty()) message = bytes.empty() ? "Cannot read " + source : source + " is too short for a PMX file.";
        return Fail(args, message);
    }
    Value summary = Summary(source, bytes.size(), pmx);
    summary.Set("format", pmd ? "PMD" : "PMX");
    // A PMD file may have read with its optional sections left out: say so.
    if (const std::string warnings = TakeLogUtf8(); !warnings.empty()) summary.Set("warnings", warnings);
    if (args.time) {
        summary.Set("timing", TimeReads(bytes.size(), [&] {
                        PMXFile again;
                        read(again);
                    }));
    }
    Emit(args, summary);
    return 0;
}

}  // namespace

extern const Mode kPmxMode = {"pmx", "tavrin-inspect [--json] [--time] FILE.pmx | FILE.pmd | \"<Sample>\"", Accepts, Run};

}  // namespace Inspect
