#include "model/PmxReader.h"

#include "core/FileIO.h"
#include "core/MessageLog.h"

namespace Vesma {

// The section decoder lands in the next change; until then every read reports failure.
bool ReadPMXFile(PMXFile& file, std::span<const uint8_t> bytes) {
    (void)file;
    (void)bytes;
    MessageLog::Instance().Append(u"PMX reading is not available yet.");
    return false;
}

bool ReadPMXFile(PMXFile& file, std::vector<uint8_t>&& bytes) {
    file.buffer = std::move(bytes);
    return ReadPMXFile(file, std::span<const uint8_t>(file.buffer));
}

bool ReadPMXFile(PMXFile& file, const std::filesystem::path& path) {
    return ReadPMXFile(file, ReadWholeFile(path));
}

}  // namespace Vesma
