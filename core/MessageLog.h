#pragma once
// The process-wide log of user-visible messages. Writers append one message at a time, each
// followed by "\r\n"; the UI takes the whole text and empties the log in one step.
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

class MessageLog {
public:
    /// The one log of the process.
    static MessageLog& Instance();

    /// Appends `message` followed by "\r\n".
    void Append(std::u16string_view message);
    /// Appends a UTF-8 message (converted to UTF-16) followed by "\r\n".
    void AppendUtf8(std::string_view message);
    /// Returns everything appended since the last take and empties the log.
    std::u16string TakeAll();
    /// Returns a copy of the current text without emptying it (tests, tools).
    std::u16string Peek() const;
    void Clear();
    /// Calls `echo` with each message as it is appended (without the "\r\n"), in order, on the
    /// appending thread; an empty function stops it. The command-line tools print the log this
    /// way. The echo must not append to the log.
    void SetEcho(std::function<void(std::u16string_view)> echo);

private:
    mutable std::mutex m_lock;
    std::u16string m_text;
    std::function<void(std::u16string_view)> m_echo;
};
