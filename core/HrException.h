#pragma once
// The error raised for every failing platform call. Carries the 32-bit result code (a VkResult
// on this platform); its message is "HRESULT of 0x%08X".
#include <cstdint>
#include <stdexcept>
#include <string>

class HrException : public std::runtime_error {
public:
    explicit HrException(int32_t result);
    int32_t Error() const { return m_result; }

private:
    int32_t m_result;
};

/// Throws HrException when `result` is negative (a failure code).
inline void ThrowIfFailed(int32_t result) {
    if (result < 0) throw HrException(result);
}
