// Counting allocator (pairs with alloc_counter.h): malloc, calloc and realloc are defined here, count,
// and hand on to glibc's own; operator new counts and calls malloc. Nothing about the heap changes.
#include "tools/bench/alloc_counter.h"

#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
}

namespace {
// Initial-exec TLS: usable from malloc at any time, also while the dynamic loader runs.
__attribute__((tls_model("initial-exec"))) thread_local uint64_t mallocs = 0;
__attribute__((tls_model("initial-exec"))) thread_local uint64_t news = 0;

void* countedNew(size_t size) {
    ++news;
    for (;;) {
        if (void* p = std::malloc(size ? size : 1)) return p;
        const std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}
}  // namespace

extern "C" {
void* malloc(size_t size) {
    ++mallocs;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    ++mallocs;
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    ++mallocs;
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
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }

namespace alloc_counter {
Counts now() { return {mallocs, news}; }
}  // namespace alloc_counter
