// Preload library for the host measurements: after every glXSwapBuffers of the saver it writes the time
// (CLOCK_MONOTONIC nanoseconds, 8 bytes) to the pipe named by QUILLON_SWAP_FD. The first swap is also
// waited for at the server (XSync), so its time is that of a presented frame. Without the variable it
// only forwards.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include <GL/glx.h>

namespace {
int swapFd = -1;
bool firstSwap = true;
using SwapBuffers = void (*)(Display*, GLXDrawable);
SwapBuffers realSwapBuffers = nullptr;

__attribute__((constructor)) void openSwapPipe() {
    realSwapBuffers = reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    const char* fd = std::getenv("QUILLON_SWAP_FD");
    if (!fd || !*fd) return;
    swapFd = std::atoi(fd);
    // Never block the saver: a reader that falls behind loses timestamps, not frames.
    fcntl(swapFd, F_SETFL, fcntl(swapFd, F_GETFL) | O_NONBLOCK);
    fcntl(swapFd, F_SETFD, FD_CLOEXEC);
}
}  // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    realSwapBuffers(display, drawable);
    if (swapFd < 0) return;
    if (firstSwap) XSync(display, False);
    firstSwap = false;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t nanoseconds = int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    if (write(swapFd, &nanoseconds, sizeof nanoseconds) < 0) return;
}
