#include "shaders/check/JsonValue.h"

#include <cstdlib>

namespace ShaderCheck {

JsonValue JsonValue::MakeBool(bool b) {
    JsonValue v;
    v.m_kind = Kind::Bool;
    v.m_bool = b;
    return v;
}

JsonValue JsonValue::MakeNumber(double n) {
    JsonValue v;
    v.m_kind = Kind::Number;
    v.m_number = n;
    return v;
}

JsonValue JsonValue::MakeString(std::string s) {
    JsonValue v;
    v.m_kind = Kind::String;
    v.m_string = std::move(s);
    return v;
}

JsonValue JsonValue::MakeArray(std::vector<JsonValue> items) {
    JsonValue v;
    v.m_kind = Kind::Array;
    v.m_items = std::move(items);
    return v;
}

JsonValue JsonValue::MakeObject(std::map<std::string, JsonValue, std::less<>> members) {
    JsonValue v;
    v.m_kind = Kind::Object;
    v.m_members = std::move(members);
    return v;
}

const JsonValue& JsonValue::operator[](std::string_view key) const {
    static const JsonValue null;
    const auto it = m_members.find(key);
    return it == m_members.end() ? null : it->second;
}

bool JsonValue::Has(std::string_view key) const { return m_members.find(key) != m_members.end(); }

namespace {

constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    JsonParseResult Run() {
        JsonParseResult result;
        result.value = ParseValue(0);
        SkipSpace();
        if (m_error.empty() && m_pos != m_text.size()) Fail("unexpected text after the document");
        if (!m_error.empty()) {
            result.value = JsonValue();
            result.error = m_error + " at byte " + std::to_string(m_pos);
        }
        return result;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    std::string m_error;

    void Fail(const char* what) {
        if (m_error.empty()) m_error = what;
    }
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++m_pos;
    }
    bool Consume(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) return false;
        m_pos += word.size();
        return true;
    }

    JsonValue ParseValue(int depth) {
        if (depth > kMaxDepth) {
            Fail("nesting too deep");
            return {};
        }
        SkipSpace();
        switch (Peek()) {
        case '{': return ParseObject(depth);
        case '[': return ParseArray(depth);
        case '"': return JsonValue::MakeString(ParseString());
        case 't':
            if (Consume("true")) return JsonValue::MakeBool(true);
            break;
        case 'f':
            if (Consume("false")) return JsonValue::MakeBool(false);
            break;
        case 'n':
            if (Consume("null")) return {};
            break;
        default:
            if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')) return ParseNumber();
            break;
        }
        Fail(AtEnd() ? "unexpected end of text" : "unexpected character");
        return {};
    }

    JsonValue ParseNumber() {
        const size_t start = m_pos;
        if (Peek() == '-') ++m_pos;
        auto digits = [&] {
            const size_t from = m_pos;
            while (!AtEnd() && Peek() >= '0' && Peek() <= '9') ++m_pos;
            return m_pos > from;
        };
        if (!digits()) {
            Fail("malformed number");
            return {};
        }
        if (Peek() == '.') {
            ++m_pos;
            if (!digits()) Fail("malformed number");
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-') ++m_pos;
            if (!digits()) Fail("malformed number");
        }
        const std::string text(m_text.substr(start, m_pos - start));
        return JsonValue::MakeNumber(std::strtod(text.c_str(), nullptr));
    }

    static void AppendUtf8(std::string& out, uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }

    std::string ParseString() {
        std::string out;
        ++m_pos;  // opening quote
        while (!AtEnd()) {
            const char c = m_text[m_pos++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) {
                Fail("control character in string");
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (AtEnd()) break;
            const char e = m_text[m_pos++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t code = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = Peek();
                    const int digit = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
                    if (digit < 0) {
                        Fail("malformed \\u escape");
                        return out;
                    }
                    code = code * 16 + static_cast<uint32_t>(digit);
                    ++m_pos;
                }
                AppendUtf8(out, code);
                break;
            }
            default: Fail("unknown escape"); return out;
            }
        }
        Fail("unterminated string");
        return out;
    }

    JsonValue ParseArray(int depth) {
        ++m_pos;
        std::vector<JsonValue> items;
        SkipSpace();
        if (Peek() == ']') {
            ++m_pos;
            return JsonValue::MakeArray(std::move(items));
        }
        while (m_error.empty()) {
            items.push_back(ParseValue(depth + 1));
            SkipSpace();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            if (Peek() == ']') {
                ++m_pos;
                return JsonValue::MakeArray(std::move(items));
            }
            Fail("expected ',' or ']'");
        }
        return {};
    }

    JsonValue ParseObject(int depth) {
        ++m_pos;
        std::map<std::string, JsonValue, std::less<>> members;
        SkipSpace();
        if (Peek() == '}') {
            ++m_pos;
            return JsonValue::MakeObject(std::move(members));
        }
        while (m_error.empty()) {
            SkipSpace();
            if (Peek() != '"') {
                Fail("expected a member name");
                break;
            }
            std::string key = ParseString();
            SkipSpace();
            if (Peek() != ':') {
                Fail("expected ':'");
                break;
            }
            ++m_pos;
            members[std::move(key)] = ParseValue(depth + 1);
            SkipSpace();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            if (Peek() == '}') {
                ++m_pos;
                return JsonValue::MakeObject(std::move(members));
            }
            Fail("expected ',' or '}'");
        }
        return {};
    }
};

}  // namespace

JsonParseResult ParseJson(std::string_view text) { return Parser(text).Run(); }

}  // namespace ShaderCheck
