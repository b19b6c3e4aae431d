#include "core/MessageLog.h"

#include "core/TextConvert.h"

MessageLog& MessageLog::Instance() {
    static MessageLog log;
    return log;
}

void MessageLog::Append(std::u16string_view message) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_text.append(message);
    m_text.append(u"\r\n");
    if (m_echo) m_echo(message);
}

void MessageLog::SetEcho(std::function<void(std::u16string_view)> echo) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_echo = std::move(echo);
}

void MessageLog::AppendUtf8(std::string_view message) { Append(Utf8ToUtf16(message)); }

std::u16string MessageLog::TakeAll() {
    std::lock_guard<std::mutex> guard(m_lock);
    std::u16string taken;
    taken.swap(m_text);
    return taken;
}

std::u16string MessageLog::Peek() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_text;
}

void MessageLog::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_text.clear();
}
