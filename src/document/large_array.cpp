#include "large_array.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#else
#include <cstdlib>
#endif

namespace planora {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t roundedUp(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

#if defined(__linux__)

void* allocateLargeBlock(std::size_t bytes) {
    if (bytes > std::numeric_limits<std::size_t>::max() - 2 * kHugePage) {
        return nullptr;
    }
    const std::size_t size = roundedUp(bytes);
    // One huge page more than needed, so that an aligned block lies inside; the rest is
    // given back at once.
    const std::size_t mapped = size + kHugePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    const std::size_t head = aligned - start;
    const std::size_t tail = mapped - head - size;
    if (head > 0) {
        munmap(raw, head);
    }
    if (tail > 0) {
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    }
    void* block = reinterpret_cast<void*>(aligned);
    // Only advice: where the system has no huge pages the block works with small ones.
    madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void releaseLargeBlock(void* block, std::size_t bytes) noexcept {
    if (block != nullptr) {
        munmap(block, roundedUp(bytes));
    }
}

#else

void* allocateLargeBlock(std::size_t bytes) {
    if (bytes > std::numeric_limits<std::size_t>::max() - kHugePage) {
        return nullptr;
    }
    return std::aligned_alloc(kHugePage, roundedUp(bytes));
}

void releaseLargeBlock(void* block, std::size_t /*bytes*/) noexcept {
    std::free(block);
}

#endif

}  // namespace planora
