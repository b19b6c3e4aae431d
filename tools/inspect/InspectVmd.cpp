// tavrin-inspect FILE.vmd | FILE.vpd: what a motion file (or a pose, as its one-key motion) animates.
#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/TextConvert.h"
#include "model/io/MotionFileReader.h"
#include "model/io/VmdReader.h"
#include "tools/inspect/Inspect.h"

namespace Inspect {
namespace {

using namespace Vesma;

// Raw bytes of a name field up to its terminator, for counting names that don't decode.
template <size_t N>
std::string RawName(const std::array<uint8_t, N>& field) {
    const auto end = std::find(field.begin(), field.end(), uint8_t{0});
    return std::string(field.begin(), end);
}

// Key counts per decoded name, in order of first appearance.
class Tracks {
public:
    explicit Tracks(std::set<std::string>& undecodable) : m_undecodable(undecodable) {}

    template <size_t N>
    void Add(const std::array<uint8_t, N>& field) {
        std::u16string name = DecodeVMDName(field);
        if (name.empty() && field[0] != 0) {
            m_undecodable.insert(RawName(field));
            return;
        }
        const auto [it, inserted] = m_index.emplace(name, m_counts.size());
        if (inserted) {
            m_counts.emplace_back(std::move(name), 0);
        }
        ++m_counts[it->second].second;
    }

    Value ToValue() const {
        Value object = Value::Object();
        for (const auto& [name, count] : m_counts) {
            object.Set(Utf16ToUtf8(name), static_cast<uint64_t>(count));
        }
        return object;
    }

private:
    std::set<std::string>& m_undecodable;
    std::map<std::u16string, size_t> m_index;
    std::vector<std::pair<std::u16string, uint64_t>> m_counts;
};

Value Summary(const std::string& source, size_t bytes, const VMDFile& vmd) {
    Value root = Value::Object();
    root.Set("file", source);
    root.Set("bytes", static_cast<uint64_t>(bytes));
    const std::u16string modelName = DecodeVMDName(vmd.modelName);
    root.Set("modelName", std::u16string_view(modelName));

    Value& counts = root.Set("counts", Value::Object());
    counts.Set("bones", static_cast<uint64_t>(vmd.boneKeys.size()));
    counts.Set("morphs", static_cast<uint64_t>(vmd.morphKeys.size()));
    counts.Set("cameras", static_cast<uint64_t>(vmd.cameraKeys.size()));
    counts.Set("lights", static_cast<uint64_t>(vmd.lightKeys.size()));
    counts.Set("shadows", static_cast<uint64_t>(vmd.shadowKeys.size()));
    counts.Set("ik", static_cast<uint64_t>(vmd.ikKeys.size()));

    uint32_t maxFrame = 0;
    auto seeFrames = [&maxFrame](const auto& keys) {
        for (const auto& key : keys) {
            maxFrame = std::max(maxFrame, key.frame);
        }
    };
    seeFrames(vmd.boneKeys);
    seeFrames(vmd.morphKeys);
    seeFrames(vmd.cameraKeys);
    seeFrames(vmd.lightKeys);
    seeFrames(vmd.shadowKeys);
    seeFrames(vmd.ikKeys);
    root.Set("maxFrame", maxFrame);

    if (!vmd.cameraKeys.empty()) {
        const auto [first, last] = std::minmax_element(
            vmd.cameraKeys.begin(), vmd.cameraKeys.end(), [](const auto& a, const auto& b) { return a.frame < b.frame; });
        Value& range = root.Set("cameraFrames", Value::Object());
        range.Set("first", first->frame);
        range.Set("last", last->frame);
    }

    std::set<std::string> undecodable;
    Tracks bones(undecodable);
    for (const VMDMotionKey& key : vmd.boneKeys) {
        bones.Add(key.boneName);
    }
    Tracks morphs(undecodable);
    for (const VMDMorphKey& key : vmd.morphKeys) {
        morphs.Add(key.morphName);
    }
    Tracks ikNames(undecodable);
    for (const VMDIKKey& key : vmd.ikKeys) {
        for (const VMDIKInfo& info : key.ikInfos) {
            ikNames.Add(info.name);
        }
    }
    root.Set("boneTracks", bones.ToValue());
    root.Set("morphTracks", morphs.ToValue());
    root.Set("ikTracks", ikNames.ToValue());
    root.Set("undecodableNames", static_cast<uint64_t>(undecodable.size()));
    return root;
}

bool Accepts(const Args& args) {
    return args.files.size() == 1 && (HasExtension(args.files[0], ".vmd") || HasExtension(args.files[0], ".vpd"));
}

int Run(const Args& args) {
    const std::string& source = args.files[0];
    const std::vector<uint8_t> bytes = LoadInput(source);
    TakeLogUtf8();
    // A VPD pose reads as the one-key motion it plays as.
    const std::u16string name = Utf8ToUtf16(source);
    const auto read = [&](VMDFile& file) { return ReadMotionFile(file, std::vector<uint8_t>(bytes), name); };
    VMDFile vmd;
    if (!read(vmd)) {
        std::string message = TakeLogUtf8();
        if (message.empty()) {
            message = bytes.empty() ? "Cannot read " + source : source + " is too short for a VMD file.";
        }
        return Fail(args, message);
    }
    Value summary = Summary(source, bytes.size(), vmd);
    if (args.time) {
        summary.Set("timing", TimeReads(bytes.size(), [&] {
                        VMDFile again;
                        read(again);
                    }));
    }
    Emit(args, summary);
    return 0;
}

}  // namespace

extern const Mode kVmdMode = {"vmd",
                              "tavrin-inspect [--json] [--time] FILE.vmd | FILE.vpd   (key counts, animated bone/morph/IK names; "
                              "undecodableNames counts distinct names that are not valid Shift_JIS)",
                              Accepts, Run};

}  // namespace Inspect
