// Small X client for the end-to-end tests: makes a host window, asks a window to close, and reads a
// window's pixels back as numbers a shell script can compare.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Maps a window (at once: there is no window manager), prints its id, and keeps it until killed.
void makeWindow(Display* display, unsigned width, unsigned height) {
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0,
                                              BlackPixel(display, DefaultScreen(display)));
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("0x%lx\n", window);
    std::fflush(stdout);
    pause();
}

// What a window manager sends when the user clicks the close button.
void askToClose(Display* display, Window window) {
    XEvent event{};
    event.xclient = {ClientMessage, 0, True, display, window, XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
}

// Prints the area's size, per-mille of non-black and of near-white pixels, and a hash of its pixels.
int describePicture(Display* display, Window window, int x, int y, int width, int height) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return 1;
    if (width <= 0) width = attributes.width - x;
    if (height <= 0) height = attributes.height - y;
    XImage* image = XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return 1;
    unsigned long long hash = 1469598103934665603ull, nonBlack = 0, white = 0;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            const unsigned r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
            hash = (hash ^ (pixel & 0xFFFFFF)) * 1099511628211ull;
            nonBlack += r > 24 || g > 24 || b > 24;
            white += r > 240 && g > 240 && b > 240;
        }
    XDestroyImage(image);
    const unsigned long long area = static_cast<unsigned long long>(width) * unsigned(height);
    std::printf("size=%dx%d nonblack=%llu white=%llu hash=%016llx\n", width, height, nonBlack * 1000 / area,
                white * 1000 / area, hash);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Display* display = argc >= 3 ? XOpenDisplay(nullptr) : nullptr;
    if (!display) {
        std::fputs("usage, with a display: x11_probe window W H | close ID | picture ID|root [X Y W H]\n", stderr);
        return 2;
    }
    const std::string command = argv[1];
    const Window target = std::string(argv[2]) == "root" ? DefaultRootWindow(display)
                                                             : Window(std::strtoul(argv[2], nullptr, 0));
    auto number = [&](int i) { return i < argc ? std::atoi(argv[i]) : 0; };  // 0: to the window's edge
    int result = 0;
    if (command == "window" && argc == 4) makeWindow(display, unsigned(number(2)), unsigned(number(3)));
    else if (command == "close") askToClose(display, target);
    else if (command == "picture")
        result = describePicture(display, target, number(3), number(4), number(5), number(6));
    else result = 2;
    XCloseDisplay(display);
    return result;
}
