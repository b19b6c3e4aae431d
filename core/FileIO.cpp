#include "core/FileIO.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    std::vector<uint8_t> bytes;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
            // A file too large to hold in memory is an unreadable file, not a crash.
            try {
                bytes.resize(static_cast<size_t>(size));
            } catch (const std::bad_alloc&) {
                bytes = {};
            } catch (const std::length_error&) {
                bytes = {};
            }
            if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) bytes = {};
        }
    }
    std::fclose(file);
    return bytes;
}

bool WriteWholeFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::filesystem::path temp = path;
    // Unique per process and call, so two threads writing the same file never share a temporary.
    static std::atomic<unsigned> counter{0};
    temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fflush(file) == 0) && ok;
    ok = (::fsync(::fileno(file)) == 0) && ok;
    ok = (std::fclose(file) == 0) && ok;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp, path, ec);
        ok = !ec;
    }
    if (!ok) std::filesystem::remove(temp, ec);
    return ok;
}
