#include "waveform/allocator.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sample_memory {
namespace {
// Below this size the ordinary heap is used (and sanitizers see every access).
constexpr std::size_t kMapThreshold = std::size_t{4} << 20;
}  // namespace

void* Allocate(std::size_t bytes) {
#if defined(__linux__)
    if (bytes >= kMapThreshold) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        madvise(p, bytes, MADV_HUGEPAGE);
        return p;
    }
#endif
    return ::operator new(bytes == 0 ? 1 : bytes);
}

void Release(void* p, std::size_t bytes) noexcept {
    if (p == nullptr) return;
#if defined(__linux__)
    if (bytes >= kMapThreshold) {
        munmap(p, bytes);
        return;
    }
#endif
    ::operator delete(p);
}

}  // namespace sample_memory
