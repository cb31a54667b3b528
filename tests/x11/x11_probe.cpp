// Small X client for the end-to-end tests: makes a host window, asks a window to close, and reads a
// window's pixels back as numbers a shell script can compare.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

int usage() {
    std::fputs("usage: x11_probe window W H | close ID | picture ID|root [X Y W H]\n", stderr);
    return 2;
}

Window windowArgument(Display* display, const char* text) {
    if (std::strcmp(text, "root") == 0) return DefaultRootWindow(display);
    return Window(std::strtoul(text, nullptr, 0));
}

// Creates and maps a window on the default visual, prints its id, and keeps it until stdin closes.
int makeWindow(Display* display, int width, int height) {
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, unsigned(width),
                                              unsigned(height), 0, 0, BlackPixel(display, screen));
    XStoreName(display, window, "ProbeWindow");
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XEvent event;
    do XWindowEvent(display, window, StructureNotifyMask, &event);
    while (event.type != MapNotify);
    std::printf("0x%lx\n", static_cast<unsigned long>(window));
    std::fflush(stdout);
    char buffer[64];
    while (read(0, buffer, sizeof buffer) > 0) {
    }
    XDestroyWindow(display, window);
    XSync(display, False);
    return 0;
}

// What a window manager sends when the user clicks the close button.
int askToClose(Display* display, Window window) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &message);
    XSync(display, False);
    return 0;
}

// Prints per-mille of non-black and of near-white pixels, the centre of the non-black ones in per-mille
// of the area, and a hash of the whole area.
int describePicture(Display* display, Window window, int x, int y, int width, int height) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return 1;
    if (width <= 0) width = attributes.width - x;
    if (height <= 0) height = attributes.height - y;
    XImage* image = XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return 1;
    unsigned long long hash = 1469598103934665603ull, nonBlack = 0, white = 0, sumX = 0, sumY = 0;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            const unsigned r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
            hash = (hash ^ (pixel & 0xFFFFFF)) * 1099511628211ull;
            if (r > 24 || g > 24 || b > 24) {
                ++nonBlack;
                sumX += unsigned(column);
                sumY += unsigned(row);
            }
            if (r > 240 && g > 240 && b > 240) ++white;
        }
    XDestroyImage(image);
    const unsigned long long area = static_cast<unsigned long long>(width) * unsigned(height);
    const unsigned long long centreX = nonBlack ? sumX * 1000 / nonBlack / unsigned(width) : 0;
    const unsigned long long centreY = nonBlack ? sumY * 1000 / nonBlack / unsigned(height) : 0;
    std::printf("size=%dx%d nonblack=%llu white=%llu centre=%llu,%llu hash=%016llx\n", width, height,
                nonBlack * 1000 / area, white * 1000 / area, centreX, centreY, hash);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("x11_probe: cannot open the display\n", stderr);
        return 1;
    }
    const std::string command = argv[1];
    int result = 0;
    if (command == "window" && argc == 4) result = makeWindow(display, std::atoi(argv[2]), std::atoi(argv[3]));
    else if (command == "close") result = askToClose(display, windowArgument(display, argv[2]));
    else if (command == "picture" && argc == 3) result = describePicture(display, windowArgument(display, argv[2]), 0, 0, 0, 0);
    else if (command == "picture" && argc == 7)
        result = describePicture(display, windowArgument(display, argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                                 std::atoi(argv[5]), std::atoi(argv[6]));
    else result = usage();
    XCloseDisplay(display);
    return result;
}
