#include "bench/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace botpilot::bench {

namespace {

thread_local bool counting = false;
thread_local std::uint64_t allocations = 0;

void* Allocate(std::size_t size) {
    if (counting) {
        ++allocations;
    }
    // malloc(0) may return null; a new-expression must not.
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    if (counting) {
        ++allocations;
    }
    const auto align = static_cast<std::size_t>(alignment);
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t rounded = (size + align - 1) / align * align;
    void* memory = std::aligned_alloc(align, rounded != 0 ? rounded : align);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

} // namespace

void StartCountingAllocations() {
    allocations = 0;
    counting = true;
}

std::uint64_t StopCountingAllocations() {
    counting = false;
    return allocations;
}

} // namespace botpilot::bench

// The replaced global allocation functions. Every other form (arrays, nothrow) is defined by the
// library in terms of these.
void* operator new(std::size_t size) {
    return botpilot::bench::Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return botpilot::bench::AllocateAligned(size, alignment);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
