#include "tools/inspect/InspectValue.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/TextConvert.h"

namespace Inspect {
namespace {

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

// Control characters in names would break the one-line text layout; show them escaped.
std::string PlainText(std::string_view text) {
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20) out += '?';
        else out += ch;
    }
    return out;
}

template <typename T>
std::string ShortestNumber(T value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

void Indent(std::string& out, int depth) { out.append(static_cast<size_t>(depth) * 2, ' '); }

}  // namespace

Value::Value(std::u16string_view v) : m_kind(Kind::String), m_string(Utf16ToUtf8(v)) {}

Value& Value::Set(std::string_view key, Value value) {
    for (size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] == key) return m_items[i] = std::move(value);
    }
    m_keys.emplace_back(key);
    m_items.push_back(std::move(value));
    return m_items.back();
}

Value& Value::Push(Value value) {
    m_items.push_back(std::move(value));
    return m_items.back();
}

const Value* Value::Find(std::string_view key) const {
    for (size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] == key) return &m_items[i];
    }
    return nullptr;
}

std::string Value::ScalarText(bool json) const {
    switch (m_kind) {
    case Kind::Null: return "null";
    case Kind::Bool: return m_bool ? "true" : "false";
    case Kind::Int: return std::to_string(m_int);
    case Kind::Float:
    case Kind::Double:
        if (!std::isfinite(m_double)) {
            // JSON has no NaN or infinity.
            if (json) return "null";
            return std::isnan(m_double) ? "nan" : (m_double > 0 ? "inf" : "-inf");
        }
        return m_kind == Kind::Float ? ShortestNumber(static_cast<float>(m_double)) : ShortestNumber(m_double);
    case Kind::String: {
        if (!json) return PlainText(m_string);
        std::string out;
        AppendJsonString(out, m_string);
        return out;
    }
    default: return {};
    }
}

void Value::WriteJson(std::string& out, int depth) const {
    if (IsScalar()) {
        out += ScalarText(true);
        return;
    }
    const bool object = m_kind == Kind::Object;
    if (m_items.empty()) {
        out += object ? "{}" : "[]";
        return;
    }
    // Arrays of scalars (vectors, small lists) stay on one line.
    bool flat = !object;
    for (const Value& item : m_items) flat = flat && item.IsScalar();
    if (flat) {
        out += '[';
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (i) out += ", ";
            out += m_items[i].ScalarText(true);
        }
        out += ']';
        return;
    }
    out += object ? "{\n" : "[\n";
    for (size_t i = 0; i < m_items.size(); ++i) {
        Indent(out, depth + 1);
        if (object) {
            AppendJsonString(out, m_keys[i]);
            out += ": ";
        }
        m_items[i].WriteJson(out, depth + 1);
        if (i + 1 < m_items.size()) out += ',';
        out += '\n';
    }
    Indent(out, depth);
    out += object ? '}' : ']';
}

std::string Value::ToJson() const {
    std::string out;
    WriteJson(out, 0);
    out += '\n';
    return out;
}

// Kept on one line in text: scalars, arrays of scalars, and objects of at most 8 members that
// are scalars or arrays of scalars.
bool Value::IsInline() const {
    if (IsScalar()) return true;
    if (m_kind == Kind::Object && m_items.size() > 8) return false;
    for (const Value& item : m_items) {
        const bool scalarArray = item.m_kind == Kind::Array && m_kind == Kind::Object && item.IsInline();
        if (!item.IsScalar() && !scalarArray) return false;
    }
    return true;
}

std::string Value::InlineText() const {
    if (IsScalar()) return ScalarText(false);
    std::string out;
    if (m_kind == Kind::Array) {
        out += '(';
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (i) out += ", ";
            out += m_items[i].InlineText();
        }
        out += ')';
        return out;
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (i) out += "  ";
        out += m_keys[i] + '=' + m_items[i].InlineText();
    }
    return out;
}

void Value::WriteText(std::string& out, int depth) const {
    if (m_kind == Kind::Object) {
        for (size_t i = 0; i < m_items.size(); ++i) {
            Indent(out, depth);
            out += m_keys[i] + ':';
            const Value& item = m_items[i];
            if (item.IsInline()) {
                const std::string text = item.InlineText();
                if (!text.empty()) out += ' ' + text;
                out += '\n';
            } else {
                out += '\n';
                item.WriteText(out, depth + 1);
            }
        }
        return;
    }
    if (m_kind == Kind::Array) {
        for (size_t i = 0; i < m_items.size(); ++i) {
            Indent(out, depth);
            out += '[' + std::to_string(i) + ']';
            if (m_items[i].IsInline()) {
                out += ' ' + m_items[i].InlineText() + '\n';
            } else {
                out += '\n';
                m_items[i].WriteText(out, depth + 1);
            }
        }
        return;
    }
    Indent(out, depth);
    out += ScalarText(false) + '\n';
}

std::string Value::ToText() const {
    std::string out;
    WriteText(out, 0);
    return out;
}

}  // namespace Inspect
