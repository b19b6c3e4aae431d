#pragma once
// Conversions between the UTF-16 text the model files and the log use and the UTF-8 text of the
// platform (paths, terminals, JSON). Invalid sequences become U+FFFD.
#include <string>
#include <string_view>

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

/// Whether `text` ends with `suffix` (lower-case ASCII), whatever the case of `text`'s ASCII
/// letters: file extensions such as ".pmd".
bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix);
