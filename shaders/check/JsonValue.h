#pragma once
// A small JSON document model for the shader-interface check, which reads the reflection that
// spirv-cross writes. Parsing never throws: malformed text gives a null value and an error.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ShaderCheck {

class JsonValue {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    JsonValue() = default;
    static JsonValue MakeBool(bool b);
    static JsonValue MakeNumber(double n);
    static JsonValue MakeString(std::string s);
    static JsonValue MakeArray(std::vector<JsonValue> items);
    static JsonValue MakeObject(std::map<std::string, JsonValue, std::less<>> members);

    Kind GetKind() const { return m_kind; }
    bool IsNull() const { return m_kind == Kind::Null; }
    bool IsArray() const { return m_kind == Kind::Array; }
    bool IsObject() const { return m_kind == Kind::Object; }
    bool IsNumber() const { return m_kind == Kind::Number; }
    bool IsString() const { return m_kind == Kind::String; }

    bool AsBool(bool fallback = false) const { return m_kind == Kind::Bool ? m_bool : fallback; }
    double AsNumber(double fallback = 0) const { return m_kind == Kind::Number ? m_number : fallback; }
    const std::string& AsString() const { return m_string; }  ///< empty unless a string
    const std::vector<JsonValue>& Items() const { return m_items; }  ///< empty unless an array
    const std::map<std::string, JsonValue, std::less<>>& Members() const { return m_members; }  ///< empty unless an object

    /// Member `key` of an object; a null value when absent or not an object.
    const JsonValue& operator[](std::string_view key) const;
    bool Has(std::string_view key) const;

private:
    Kind m_kind = Kind::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    std::vector<JsonValue> m_items;
    std::map<std::string, JsonValue, std::less<>> m_members;
};

struct JsonParseResult {
    JsonValue value;
    std::string error;  ///< empty on success; else what went wrong and at which byte
    bool Ok() const { return error.empty(); }
};

/// Parses one JSON document (trailing whitespace allowed). Nesting deeper than 64 levels is an
/// error rather than a deep recursion.
JsonParseResult ParseJson(std::string_view text);

}  // namespace ShaderCheck
