#pragma once
// What the headless commands (tavrin-render, tavrin-export) tell the terminal: every message of
// the log on standard error as it comes, and the files a command could not read.
#include <string>
#include <vector>

namespace ProjectTavrin {

/// From now on every message appended to MessageLog is also written to standard error, one line
/// each, as it is appended.
void EchoMessagesToStderr();

/// Writes "<program>: cannot read <file>" on standard error for each of `files`. True when there
/// was any (the command then ends with exit status 1).
bool ReportUnreadableFiles(const char* program, const std::vector<std::u16string>& files);

}  // namespace ProjectTavrin
