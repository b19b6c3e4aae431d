#include "model/io/VpdReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileIO.h"
#include "core/MessageLog.h"

namespace Vesma {
namespace {

constexpr std::string_view kHeader = "Vocaloid Pose Data file";
constexpr size_t kKeyNameBytes = 15;

// One line of the file with its comment and surrounding blanks taken off. '/' (0x2F) is never the
// second byte of a Shift_JIS character, so "//" can be searched for in the raw bytes.
struct Line {
    size_t number = 0;  // from 1
    std::string_view text;
};

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// The lines that hold something, in order.
std::vector<Line> MeaningfulLines(std::string_view text) {
    // A UTF-8 byte-order mark is not part of the header.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<Line> lines;
    size_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (const size_t comment = line.find("//"); comment != std::string_view::npos) line = line.substr(0, comment);
        line = Trim(line);
        if (!line.empty()) lines.push_back({number, line});
    }
    return lines;
}

// Interpolation bytes of a key whose four channels are straight lines.
std::array<uint8_t, 64> StraightCurves() {
    std::array<uint8_t, 64> bytes{};
    for (size_t row = 0; row < 4; ++row) {
        bytes[row * 16 + 0] = 20;
        bytes[row * 16 + 4] = 20;
        bytes[row * 16 + 8] = 107;
        bytes[row * 16 + 12] = 107;
    }
    return bytes;
}

template <size_t N>
void CopyName(std::string_view name, std::array<uint8_t, N>& field) {
    const size_t count = std::min(name.size(), N - 1);
    std::memcpy(field.data(), name.data(), count);
}

class PoseParser {
public:
    explicit PoseParser(std::vector<Line> lines) : m_lines(std::move(lines)) {}

    bool Parse(VMDFile& vmd) {
        const Line* header = Next();
        if (!header || header->text != kHeader) return Fail(header, "the pose file header \"Vocaloid Pose Data file\" is missing");
        const Line* model = Next();
        if (!model || !model->text.ends_with(';')) return Fail(model, "expected the model name followed by ';'");
        std::string_view modelName = Trim(model->text.substr(0, model->text.size() - 1));
        CopyName(modelName, vmd.modelName);
        const Line* countLine = Next();
        uint32_t declared = 0;
        if (!countLine || !ReadCount(countLine->text, declared)) return Fail(countLine, "expected the bone count followed by ';'");

        size_t bones = 0;
        while (const Line* open = Next()) {
            std::string_view name;
            if (Block(open->text, "Bone", name)) {
                VMDMotionKey& key = vmd.boneKeys.emplace_back();
                CopyName(name, key.boneName);
                key.interpolation = StraightCurves();
                float t[3] = {}, r[4] = {};
                if (!Numbers(t) || !Numbers(r) || !Close()) return false;
                key.translation = {t[0], t[1], t[2]};
                key.rotation = Math::quat(r[0], r[1], r[2], r[3]);
                ++bones;
            } else if (Block(open->text, "Morph", name)) {
                VMDMorphKey& key = vmd.morphKeys.emplace_back();
                CopyName(name, key.morphName);
                float w[1] = {};
                if (!Numbers(w) || !Close()) return false;
                key.weight = w[0];
            } else {
                return Fail(open, "expected a \"BoneN{name\" or \"MorphN{name\" block");
            }
        }
        if (bones < declared) {
            MessageLog::Instance().AppendUtf8("ReadPose: the pose file declares " + std::to_string(declared) +
                                              " bones and holds " + std::to_string(bones) + "; the pose has those.");
        }
        return true;
    }

private:
    const Line* Next() { return m_next < m_lines.size() ? &m_lines[m_next++] : nullptr; }

    bool Fail(const Line* line, const std::string& what) {
        const std::string where = line ? "line " + std::to_string(line->number) : "the end of the file";
        MessageLog::Instance().AppendUtf8("ReadPose Fail: " + where + ": " + what + ".");
        return false;
    }

    static bool ReadCount(std::string_view text, uint32_t& count) {
        if (!text.ends_with(';')) return false;
        text = Trim(text.substr(0, text.size() - 1));
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
        return ec == std::errc() && end == text.data() + text.size();
    }

    // "Bone12{name": the kind, a number, '{' and the name (the rest of the line).
    static bool Block(std::string_view text, std::string_view kind, std::string_view& name) {
        if (!text.starts_with(kind)) return false;
        text.remove_prefix(kind.size());
        size_t digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
        if (digits == 0 || digits >= text.size() || text[digits] != '{') return false;
        name = Trim(text.substr(digits + 1));
        return true;
    }

    // A line of exactly N numbers separated by ',' and ended by ';'.
    template <size_t N>
    bool Numbers(float (&values)[N]) {
        const Line* line = Next();
        if (!line) return Fail(line, "the block ends before its numbers");
        std::string_view text = line->text;
        if (!text.ends_with(';')) return Fail(line, "expected " + std::to_string(N) + " numbers followed by ';'");
        text.remove_suffix(1);
        std::vector<std::string_view> fields;
        for (size_t start = 0;;) {
            const size_t comma = text.find(',', start);
            fields.push_back(Trim(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        if (fields.size() == 2 * N)
            return Fail(line, "decimal commas are not accepted (write 0.5, not 0,5)");
        if (fields.size() != N) return Fail(line, "expected " + std::to_string(N) + " numbers, found " + std::to_string(fields.size()));
        for (size_t i = 0; i < N; ++i) {
            std::string_view field = fields[i];
            if (field.starts_with('+')) field.remove_prefix(1);
            float value = 0.0f;
            const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
            if (field.empty() || ec != std::errc() || end != field.data() + field.size() || !std::isfinite(value))
                return Fail(line, "\"" + std::string(fields[i]) + "\" is not a number");
            values[i] = value;
        }
        return true;
    }

    bool Close() {
        const Line* line = Next();
        if (!line || line->text != "}") return Fail(line, "expected '}' to close the block");
        return true;
    }

    std::vector<Line> m_lines;
    size_t m_next = 0;
};

}  // namespace

bool HasVpdSignature(std::span<const uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), std::min<size_t>(bytes.size(), 4096));
    const std::vector<Line> lines = MeaningfulLines(text);
    return !lines.empty() && lines.front().text == kHeader;
}

bool ReadVPDFile(VMDFile& vmd, std::span<const uint8_t> bytes) {
    vmd.Release();
    if (bytes.empty()) {
        MessageLog::Instance().Append(u"ReadPose Fail: the pose file is empty.");
        return false;
    }
    CopyName(kHeader, vmd.header);
    PoseParser parser(MeaningfulLines(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    if (!parser.Parse(vmd)) return false;
    return true;
}

bool ReadVPDFile(VMDFile& vmd, const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    return ReadVPDFile(vmd, std::span<const uint8_t>(bytes));
}

}  // namespace Vesma
