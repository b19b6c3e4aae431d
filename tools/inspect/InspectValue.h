#pragma once
// A small ordered JSON-like value that inspect modes fill and the dispatcher prints, either as
// JSON (UTF-8) or as indented text for people.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Inspect {

class Value {
public:
    enum class Kind { Null, Bool, Int, Float, Double, String, Array, Object };

    Value() = default;
    Value(bool b) : m_kind(Kind::Bool), m_bool(b) {}
    Value(int v) : m_kind(Kind::Int), m_int(v) {}
    Value(int64_t v) : m_kind(Kind::Int), m_int(v) {}
    Value(uint32_t v) : m_kind(Kind::Int), m_int(v) {}
    Value(uint64_t v) : m_kind(Kind::Int), m_int(static_cast<int64_t>(v)) {}
    Value(float v) : m_kind(Kind::Float), m_double(v) {}
    Value(double v) : m_kind(Kind::Double), m_double(v) {}
    Value(std::string v) : m_kind(Kind::String), m_string(std::move(v)) {}
    Value(const char* v) : m_kind(Kind::String), m_string(v) {}
    Value(std::u16string_view v);  // stored as UTF-8

    static Value Object() { return Value(Kind::Object); }
    static Value Array() { return Value(Kind::Array); }

    /// Adds (or replaces) a member of an object, keeping first-insertion order; returns it.
    Value& Set(std::string_view key, Value value);
    /// Appends an element to an array; returns it.
    Value& Push(Value value);
    /// The member `key` of an object, or nullptr.
    const Value* Find(std::string_view key) const;

    Kind GetKind() const { return m_kind; }
    bool IsScalar() const { return m_kind != Kind::Array && m_kind != Kind::Object; }
    const std::vector<Value>& Items() const { return m_items; }
    const std::vector<std::string>& Keys() const { return m_keys; }

    /// JSON text, indented by two spaces per level, with a final newline.
    std::string ToJson() const;
    /// Indented "key: value" text; flat objects and scalar arrays are kept on one line.
    std::string ToText() const;

private:
    explicit Value(Kind kind) : m_kind(kind) {}
    void WriteJson(std::string& out, int depth) const;
    void WriteText(std::string& out, int depth) const;
    std::string InlineText() const;
    bool IsInline() const;
    std::string ScalarText(bool json) const;

    Kind m_kind = Kind::Null;
    bool m_bool = false;
    int64_t m_int = 0;
    double m_double = 0;
    std::string m_string;
    std::vector<std::string> m_keys;  // objects: one key per item
    std::vector<Value> m_items;       // array elements or object members
};

}  // namespace Inspect
