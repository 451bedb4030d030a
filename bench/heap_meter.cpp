#include "bench/heap_meter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> held_bytes{0};
std::atomic<std::size_t> peak_bytes{0};

// Every block carries its size in a header one alignment unit wide, so that
// unsized deletes can count it back.
constexpr std::size_t HEADER = alignof(std::max_align_t);

void *Take(std::size_t size, std::size_t alignment) {
    const std::size_t header = alignment > HEADER ? alignment : HEADER;
    void *block = std::aligned_alloc(header, (size + header + header - 1) / header * header);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    auto *bytes = static_cast<unsigned char *>(block);
    *reinterpret_cast<std::size_t *>(bytes + header - sizeof(std::size_t)) = size;
    *reinterpret_cast<std::size_t *>(bytes + header - 2 * sizeof(std::size_t)) = header;
    const std::size_t now = held_bytes.fetch_add(size) + size;
    std::size_t peak = peak_bytes.load();
    while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
    }
    return bytes + header;
}

void Give(void *pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    auto *bytes = static_cast<unsigned char *>(pointer);
    const std::size_t size = *reinterpret_cast<std::size_t *>(bytes - sizeof(std::size_t));
    const std::size_t header = *reinterpret_cast<std::size_t *>(bytes - 2 * sizeof(std::size_t));
    held_bytes.fetch_sub(size);
    std::free(bytes - header);
}

}  // namespace

namespace tidalhalo::bench {

std::size_t HeapBytesNow() noexcept { return held_bytes.load(); }
std::size_t HeapBytesPeak() noexcept { return peak_bytes.load(); }
void ResetHeapPeak() noexcept { peak_bytes.store(held_bytes.load()); }

}  // namespace tidalhalo::bench

void *operator new(std::size_t size) { return Take(size, HEADER); }
void *operator new[](std::size_t size) { return Take(size, HEADER); }
void *operator new(std::size_t size, std::align_val_t alignment) {
    return Take(size, static_cast<std::size_t>(alignment));
}
void *operator new[](std::size_t size, std::align_val_t alignment) {
    return Take(size, static_cast<std::size_t>(alignment));
}
void operator delete(void *pointer) noexcept { Give(pointer); }
void operator delete[](void *pointer) noexcept { Give(pointer); }
void operator delete(void *pointer, std::size_t) noexcept { Give(pointer); }
void operator delete[](void *pointer, std::size_t) noexcept { Give(pointer); }
void operator delete(void *pointer, std::align_val_t) noexcept { Give(pointer); }
void operator delete[](void *pointer, std::align_val_t) noexcept { Give(pointer); }
void operator delete(void *pointer, std::size_t, std::align_val_t) noexcept { Give(pointer); }
void operator delete[](void *pointer, std::size_t, std::align_val_t) noexcept { Give(pointer); }
