// tavrin-inspect: prints what Tavrin's readers make of a file, as text or JSON.
//
// The first mode in the table that accepts the command line runs. To add a mode, write
// InspectSomething.cpp defining `extern const Inspect::Mode kSomethingMode` and add it below.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/inspect/Inspect.h"

namespace Inspect {
extern const Mode kPmxMode;
extern const Mode kGpuMode;
extern const Mode kMaterialsMode;
extern const Mode kCameraMode;
extern const Mode kPoseMode;
extern const Mode kVmdMode;
}  // namespace Inspect

namespace {

const Inspect::Mode* const kModes[] = {
    &Inspect::kGpuMode,
    &Inspect::kMaterialsMode,
    &Inspect::kCameraMode,
    &Inspect::kPoseMode,
    &Inspect::kPmxMode,
    &Inspect::kVmdMode,
};

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "usage:\n");
    for (const Inspect::Mode* mode : kModes) std::fprintf(to, "  %s\n", mode->usage);
    std::fprintf(to, "options: --json prints JSON; --time adds the read time (median of several reads from memory)\n");
}

}  // namespace

int main(int argc, char** argv) {
    Inspect::Args args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (arg == "--json") {
            args.json = true;
        } else if (arg == "--time") {
            args.time = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            const size_t equals = arg.find('=');
            if (equals == std::string::npos) {
                args.options[arg.substr(2)] = "";
            } else {
                args.options[arg.substr(2, equals - 2)] = arg.substr(equals + 1);
            }
        } else {
            args.files.push_back(arg);
        }
    }
    for (const Inspect::Mode* mode : kModes) {
        if (mode->accepts(args)) return mode->run(args);
    }
    PrintUsage(stderr);
    return 2;
}
