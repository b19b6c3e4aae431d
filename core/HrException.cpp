#include "core/HrException.h"

#include <cstdio>

namespace {
std::string FormatResult(int32_t result) {
    char text[32];
    std::snprintf(text, sizeof(text), "HRESULT of 0x%08X", static_cast<unsigned>(result));
    return text;
}
}  // namespace

HrException::HrException(int32_t result) : std::runtime_error(FormatResult(result)), m_result(result) {}
