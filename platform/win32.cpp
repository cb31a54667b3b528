// Windows implementation of the core's platform services: performance counter, calendar time, RCDATA images.
#include "platform/platform.h"

#include <windows.h>

#include <ctime>

#include "host/win32/win32_host.h"

namespace platform {

int64_t counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t counterFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

int64_t calendarSeconds() { return int64_t(std::time(nullptr)); }

bool findImageResource(const char* name, ResourceData& out) {
    HRSRC info = FindResourceA(moduleInstance, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!info) return false;
    const DWORD size = SizeofResource(moduleInstance, info);
    HGLOBAL handle = LoadResource(moduleInstance, info);
    const void* bytes = handle ? LockResource(handle) : nullptr;
    if (!bytes || size == 0) return false;
    out.bytes = static_cast<const unsigned char*>(bytes);
    out.size = size;
    return true;
}

}  // namespace platform
