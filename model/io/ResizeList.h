#pragma once
// Sizing a decoded section's list, shared by the model readers.
#include <cstddef>
#include <cstdint>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace Vesma {

/// Sizes a section's list. A large list is first reserved and its memory marked for transparent
/// huge pages before it is touched: the decoded vertices of a big model take tens of megabytes of
/// fresh memory, and with 4 KiB pages faulting them in costs more than decoding them.
template <typename T>
void ResizeList(std::vector<T>& list, size_t count) {
#ifdef __linux__
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const size_t bytes = count * sizeof(T);
    if (bytes >= 4 * kHugePage && list.capacity() < count) {
        list.reserve(count);
        const auto begin = reinterpret_cast<uintptr_t>(list.data());
        const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
        const uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
        if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
    list.resize(count);
}

}  // namespace Vesma
