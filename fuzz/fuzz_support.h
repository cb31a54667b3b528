// What the fuzz targets share: input placed against an inaccessible page, and checks that stop the run.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// A failed check is a finding: libFuzzer keeps the input that caused it.
#define FUZZ_CHECK(condition)                                              \
    do {                                                                   \
        if (!(condition)) {                                                \
            std::fprintf(stderr, "fuzz check failed: %s\n", #condition);   \
            std::abort();                                                  \
        }                                                                  \
    } while (0)

// A copy of the bytes whose last byte is the last readable one before an inaccessible page, so that any
// read past the input faults, in uninstrumented libraries as much as in our code. Valid until the next call.
inline const unsigned char* guardedCopy(const void* bytes, size_t size) {
    static unsigned char* base = nullptr;
    static size_t pages = 0;
    const size_t page = size_t(sysconf(_SC_PAGESIZE)), needed = size / page + 1;
    if (needed > pages) {
        if (base) munmap(base, (pages + 1) * page);
        pages = needed;
        void* block = mmap(nullptr, (pages + 1) * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        FUZZ_CHECK(block != MAP_FAILED);
        base = static_cast<unsigned char*>(block);
        FUZZ_CHECK(mprotect(base + pages * page, page, PROT_NONE) == 0);
    }
    unsigned char* copy = base + pages * page - size;
    if (size > 0) std::memcpy(copy, bytes, size);
    return copy;
}
