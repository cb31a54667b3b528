// Heap allocations made on the calling thread, counted by the benchmark's own malloc and operator new
// (alloc_counter.cpp); Mesa's rasterizer threads allocate on their own threads and are not counted.
#pragma once

#include <cstdint>

namespace alloc_counter {

struct Counts {
    uint64_t all = 0;   // malloc, calloc, realloc and operator new, whoever called them
    uint64_t ours = 0;  // those made outside every InsideLibrary scope
};

// Marks the thread as inside a library (the GL tape puts one around each Mesa call while it audits), so
// that what is allocated meanwhile is not counted as ours.
struct InsideLibrary {
    InsideLibrary();
    ~InsideLibrary();
    InsideLibrary(const InsideLibrary&) = delete;
    InsideLibrary& operator=(const InsideLibrary&) = delete;
};

Counts now();

inline Counts since(const Counts& start) {
    const Counts end = now();
    return {end.all - start.all, end.ours - start.ours};
}

}  // namespace alloc_counter
