// Counting allocator (pairs with alloc_counter.h): malloc, calloc, realloc and operator new are defined
// here, count, and hand on to glibc's own allocator; nothing about the heap changes.
#include "tools/bench/alloc_counter.h"

#include <cstddef>
#include <new>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
}

namespace {
// Initial-exec TLS: usable from malloc at any time, also while the dynamic loader runs.
__attribute__((tls_model("initial-exec"))) thread_local uint64_t all = 0;
__attribute__((tls_model("initial-exec"))) thread_local uint64_t ours = 0;
__attribute__((tls_model("initial-exec"))) thread_local int libraryDepth = 0;

inline void count() {
    ++all;
    if (libraryDepth == 0) ++ours;
}

void* countedNew(size_t size) {
    count();
    for (;;) {
        if (void* p = __libc_malloc(size ? size : 1)) return p;
        const std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}
}  // namespace

extern "C" {
void* malloc(size_t size) {
    count();
    return __libc_malloc(size);
}
void* calloc(size_t number, size_t size) {
    count();
    return __libc_calloc(number, size);
}
void* realloc(void* p, size_t size) {
    count();
    return __libc_realloc(p, size);
}
}

void* operator new(size_t size) { return countedNew(size); }
void* operator new[](size_t size) { return countedNew(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedNew(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedNew(size);
    } catch (...) {
        return nullptr;
    }
}

namespace alloc_counter {
Counts now() { return {all, ours}; }
InsideLibrary::InsideLibrary() { ++libraryDepth; }
InsideLibrary::~InsideLibrary() { --libraryDepth; }
}  // namespace alloc_counter
