#include "tools/inspect/Inspect.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>

#include "assets/SampleModel.h"
#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"

namespace Inspect {

std::string Args::Option(const std::string& option) const {
    const auto it = options.find(option);
    return it == options.end() ? std::string() : it->second;
}

void Emit(const Args& args, const Value& value) {
    const std::string text = args.json ? value.ToJson() : value.ToText();
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int Fail(const Args& args, const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    if (args.json) {
        Value error = Value::Object();
        error.Set("error", message);
        Emit(args, error);
    }
    return 1;
}

std::vector<uint8_t> LoadInput(const std::string& argument) {
    if (argument == Utf16ToUtf8(kSampleModelPath)) {
        const std::span<const uint8_t> data = SampleModelData();
        return {data.begin(), data.end()};
    }
    return ReadWholeFile(argument);
}

bool HasExtension(const std::string& path, const std::string& extension) {
    if (path.size() < extension.size()) return false;
    return std::equal(extension.begin(), extension.end(), path.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                  std::tolower(static_cast<unsigned char>(b)); });
}

Value TimeReads(size_t bytes, const std::function<void()>& read) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> milliseconds;
    const auto start = Clock::now();
    while (milliseconds.size() < 200 &&
           (milliseconds.size() < 5 || Clock::now() - start < std::chrono::seconds(1))) {
        const auto t0 = Clock::now();
        read();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    const size_t n = milliseconds.size();
    const double median = n % 2 ? milliseconds[n / 2] : 0.5 * (milliseconds[n / 2 - 1] + milliseconds[n / 2]);
    Value timing = Value::Object();
    timing.Set("reads", static_cast<uint64_t>(n));
    timing.Set("medianMs", median);
    timing.Set("mbPerSecond", median > 0 ? static_cast<double>(bytes) / 1e6 / (median / 1e3) : 0.0);
    timing.Set("bytes", static_cast<uint64_t>(bytes));
    return timing;
}

std::string TakeLogUtf8() {
    std::string text = Utf16ToUtf8(MessageLog::Instance().TakeAll());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::optional<std::vector<float>> ParseFrames(const std::string& list) {
    std::vector<float> frames;
    size_t start = 0;
    while (true) {
        const size_t comma = list.find(',', start);
        const std::string entry = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (entry.empty()) return std::nullopt;
        char* end = nullptr;
        errno = 0;
        const float frame = std::strtof(entry.c_str(), &end);
        if (end != entry.c_str() + entry.size() || errno == ERANGE || !std::isfinite(frame)) return std::nullopt;
        frames.push_back(frame);
        if (comma == std::string::npos) return frames;
        start = comma + 1;
    }
}

}  // namespace Inspect
