// Counts the bytes the process holds on the heap, and their peak, by
// replacing the global operator new and delete. Allocations made by the
// module and our host go through them too, so a frame's peak shows whether
// anything beyond the two frame buffers is allocated.
#pragma once

#include <cstddef>

namespace tidalhalo::bench {

std::size_t HeapBytesNow() noexcept;
std::size_t HeapBytesPeak() noexcept;
// Starts a new peak from what is held now.
void ResetHeapPeak() noexcept;

}  // namespace tidalhalo::bench
