// What the fuzz targets share: checks that stop the run, and input placed against an inaccessible page.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// A failed check is a finding: libFuzzer keeps the input that caused it.
#define FUZZ_CHECK(condition) \
    ((condition) ? void() : (std::fprintf(stderr, "fuzz check failed: %s\n", #condition), std::abort()))

// A copy of the bytes whose last byte is the last readable one before an inaccessible page, so that any
// read past the input faults, in uninstrumented libraries as much as in our code. Valid until the next call.
inline const unsigned char* guardedCopy(const void* bytes, size_t size) {
    static unsigned char* base = nullptr;
    static size_t room = 0;  // the readable bytes before the guard page
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    if (size >= room) {
        if (base) munmap(base, room + page);
        room = (size / page + 1) * page;
        void* block = mmap(nullptr, room + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        FUZZ_CHECK(block != MAP_FAILED && mprotect(static_cast<char*>(block) + room, page, PROT_NONE) == 0);
        base = static_cast<unsigned char*>(block);
    }
    return static_cast<unsigned char*>(std::memcpy(base + room - size, bytes, size));
}

inline std::string textOf(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }
