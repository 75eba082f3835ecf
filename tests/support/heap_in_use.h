// Bytes the heap hands out right now, the libraries' allocations included, from the
// allocator's own counters: glibc's mallinfo2, or the sanitizer allocator's (whose
// quarantine of freed blocks this leaves out, where the resident size would count it).
#pragma once

#include <malloc.h>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer's allocator interface (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

inline size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}
