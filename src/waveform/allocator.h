#pragma once
// Sample storage. Arrays are std::vectors whose elements are left uninitialised when the
// vector grows (results are always written before they are read), and whose large blocks are
// mapped with transparent huge pages, so a 500 MB capture is not zero-filled and then
// overwritten, and its page faults are few.

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace sample_memory {
void* Allocate(std::size_t bytes);
void Release(void* p, std::size_t bytes) noexcept;
}  // namespace sample_memory

template <class T>
struct SampleAllocator {
    using value_type = T;
    SampleAllocator() noexcept = default;
    template <class U>
    SampleAllocator(const SampleAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(sample_memory::Allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { sample_memory::Release(p, n * sizeof(T)); }

    // Value-less construction default-initialises: no zero fill for arithmetic types.
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const SampleAllocator<U>&) const noexcept {
        return true;
    }
};

using FloatArray = std::vector<float, SampleAllocator<float>>;
using ByteArray = std::vector<uint8_t, SampleAllocator<uint8_t>>;
using MarkerArray = std::vector<uint16_t, SampleAllocator<uint16_t>>;

// Frees an array's storage (clear() would keep it).
template <class Array>
void ReleaseArray(Array& a) noexcept {
    Array().swap(a);
}
