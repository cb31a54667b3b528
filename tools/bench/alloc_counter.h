// Heap allocations made on the calling thread, counted by the benchmark's own malloc and operator new
// (alloc_counter.cpp); Mesa's rasterizer threads allocate on their own threads and are not counted.
#pragma once

#include <cstdint>

namespace alloc_counter {

struct Counts {
    uint64_t mallocs = 0;  // malloc, calloc and realloc, whoever called them (operator new included)
    uint64_t news = 0;     // operator new: C++ code, which in a steady frame is ours alone
};

Counts now();

inline Counts since(const Counts& start) {
    const Counts end = now();
    return {end.mallocs - start.mallocs, end.news - start.news};
}

}  // namespace alloc_counter
