#pragma once
// A bounded cursor over a model file's bytes, shared by the PMX and PMD readers. A read that does
// not fit leaves its target unchanged, does not move, and marks the cursor as overrun; from then
// on nothing more is read (so no field is filled from misaligned bytes) and the section being
// read fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace Vesma {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : m_data(bytes.data()), m_size(bytes.size()) {}

    size_t Position() const { return m_position; }
    size_t Size() const { return m_size; }
    size_t Remaining() const { return m_size - m_position; }
    bool AtEnd() const { return m_position == m_size; }
    bool Overrun() const { return m_overrun; }
    /// A field that cannot be right (a negative length): nothing more is read.
    void MarkOverrun() { m_overrun = true; }

    template <typename T>
    bool Read(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        const std::span<const uint8_t> field = Take(sizeof(T));
        if (m_overrun) return false;
        std::memcpy(&value, field.data(), sizeof(T));
        return true;
    }

    /// The next `count` bytes, or an empty span (and overrun) when they do not fit.
    std::span<const uint8_t> Take(size_t count) {
        if (m_overrun || Remaining() < count) {
            m_overrun = true;
            return {};
        }
        const uint8_t* start = m_data + m_position;
        m_position += count;
        return {start, count};
    }

    bool Skip(size_t count) {
        Take(count);
        return !m_overrun;
    }
    const uint8_t* Current() const { return m_data + m_position; }

    /// Reads a count of type `T` and checks that many records of at least `minimumBytes` each
    /// fit in what is left: a count that cannot fit (or a negative one) is corrupt, and a hostile
    /// count never asks for a huge list.
    template <typename T>
    bool ReadCount(size_t minimumBytes, size_t& count) {
        T value = 0;
        if (!Read(value)) return false;
        if constexpr (std::is_signed_v<T>) {
            if (value < 0) return false;
        }
        if (static_cast<size_t>(value) > Remaining() / std::max<size_t>(minimumBytes, 1)) return false;
        count = static_cast<size_t>(value);
        return true;
    }

private:
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_position = 0;
    bool m_overrun = false;
};

}  // namespace Vesma
