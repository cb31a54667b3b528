// Entry of the Windows host tests: the module instance the host and the resource lookups use.
#include <gtest/gtest.h>

#include <windows.h>

#include "host/win32/win32_host.h"

int main(int argc, char** argv) {
    moduleInstance = GetModuleHandleA(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
