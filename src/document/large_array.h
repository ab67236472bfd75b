// Memory for the large arrays of a drawing (the element store, the element boxes). Blocks of a
// few megabytes and more are taken straight from the system, aligned to 2 MB and marked for
// transparent huge pages, so that filling 64 MB costs a few dozen page faults instead of sixteen
// thousand (on a virtual machine a fault of a small page costs several microseconds). Smaller
// blocks come from operator new.
//
// Elements made by the allocator without a value are default-initialised: an array of plain
// numbers that is written in full afterwards is not filled with zeros first.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace planora {

// Blocks of at least this many bytes are large blocks.
inline constexpr std::size_t kLargeBlockMinBytes = std::size_t{4} << 20;

// A block of at least `bytes` bytes (a whole number of 2 MB pages) aligned to 2 MB, or nullptr
// when the system has no room for it.
void* allocateLargeBlock(std::size_t bytes);
// Gives back a block of allocateLargeBlock with the same `bytes`.
void releaseLargeBlock(void* block, std::size_t bytes) noexcept;

template <typename T>
class LargeArrayAllocator {
  public:
    using value_type = T;

    LargeArrayAllocator() = default;
    template <typename U>
    LargeArrayAllocator(const LargeArrayAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargeBlockMinBytes) {
            return std::allocator<T>{}.allocate(n);
        }
        void* block = allocateLargeBlock(bytes);
        if (block == nullptr) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(block);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargeBlockMinBytes) {
            std::allocator<T>{}.deallocate(p, n);
        } else {
            releaseLargeBlock(p, bytes);
        }
    }

    template <typename U>
    void construct(U* p) noexcept(noexcept(::new (static_cast<void*>(p)) U)) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    friend bool operator==(const LargeArrayAllocator&, const LargeArrayAllocator<U>&) noexcept {
        return true;
    }
};

}  // namespace planora
