#pragma once
// Shared pieces of tavrin-inspect: the parsed command line, the mode table entry and the output
// helpers every mode uses. A new mode is one file defining an InspectMode and one line in the
// table in main.cpp.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/inspect/InspectValue.h"

namespace Inspect {

/// The command line: positional arguments in order, --json and --time, and any other option as
/// "--name" (value "") or "--name=value".
struct Args {
    std::vector<std::string> files;
    bool json = false;
    bool time = false;
    std::map<std::string, std::string> options;

    bool Has(const std::string& option) const { return options.count(option) != 0; }
    std::string Option(const std::string& option) const;
};

struct Mode {
    const char* name;
    const char* usage;  // one line, shown by --help
    /// Whether this mode handles the command line (first match in the table wins).
    bool (*accepts)(const Args&);
    /// Runs the mode; returns the exit status.
    int (*run)(const Args&);
};

/// Prints `value` on standard output as JSON (--json) or as text.
void Emit(const Args& args, const Value& value);

/// Reports a failed read: the message on standard error, and with --json also
/// {"error": message} on standard output. Returns the exit status 1.
int Fail(const Args& args, const std::string& message);

/// Loads the bytes a file argument names: "<Sample>" is the built-in sample model, anything
/// else a path. An unreadable file gives an empty list.
std::vector<uint8_t> LoadInput(const std::string& argument);

/// True when `path` ends in `extension` (ASCII, case-insensitive, with the dot).
bool HasExtension(const std::string& path, const std::string& extension);

/// Times `read` over several runs and returns {"reads", "medianMs", "mbPerSecond", "bytes"}.
/// Runs at least 5 times and until about a second has passed (at most 200 runs).
Value TimeReads(size_t bytes, const std::function<void()>& read);

/// Takes the message log's text as UTF-8, without the final line break.
std::string TakeLogUtf8();

/// "0,15,30.5" as frames; nullopt when any entry is empty, not a number or not finite.
std::optional<std::vector<float>> ParseFrames(const std::string& list);

}  // namespace Inspect
