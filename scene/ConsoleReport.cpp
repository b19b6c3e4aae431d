#include "scene/ConsoleReport.h"

#include <cstdio>

#include "core/MessageLog.h"
#include "core/TextConvert.h"

namespace ProjectTavrin {

void EchoMessagesToStderr() {
    MessageLog::Instance().SetEcho([](std::u16string_view message) {
        const std::string text = Utf16ToUtf8(std::u16string(message));
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
    });
}

bool ReportUnreadableFiles(const char* program, const std::vector<std::u16string>& files) {
    for (const std::u16string& file : files)
        std::fprintf(stderr, "%s: cannot read %s\n", program, Utf16ToUtf8(file).c_str());
    return !files.empty();
}

}  // namespace ProjectTavrin
