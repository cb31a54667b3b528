// Small X client for the end-to-end tests (e2e.sh): makes a host window, asks a window to close, presses keys
// by their raw codes, and reads the cursor's image and a window's pixels back as numbers a shell script can
// compare. It also runs a command as the reaper of all it starts, for the exit status of a saver whose parent
// does not wait for it.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Maps a window (at once: there is no window manager), prints its id, and keeps it until killed.
void makeWindow(Display* display, unsigned width, unsigned height) {
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, 0);
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

// What a window manager publishes when a window takes the focus.
void makeActive(Display* display, Window window) {
    XChangeProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_ACTIVE_WINDOW", False),
                    XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&window), 1);
}

// Presses and releases the key that carries each named key symbol, by its code alone: unlike xdotool, which
// holds a Shift of its own for a symbol on the second level, XTest presses nothing else, so the server's own
// modifier and lock state (Num Lock) decide what the key means.
bool pressKeys(Display* display, char** names, int count) {
    for (int i = 0; i < count; ++i) {
        const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(names[i]));
        if (!code || !XTestFakeKeyEvent(display, code, True, 0) || !XTestFakeKeyEvent(display, code, False, 0))
            return false;
    }
    return XSync(display, False), true;
}

// How many pixels of the cursor's current image are not fully transparent.
void describeCursor(Display* display) {
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    int opaque = 0;
    for (int i = 0; image && i < image->width * image->height; ++i) opaque += (image->pixels[i] >> 24) != 0;
    std::printf("opaque=%d\n", opaque);
    XFree(image);
}

// The largest difference between two colours in one channel.
int distance(unsigned long a, unsigned long b) {
    int largest = 0;
    for (int shift : {0, 8, 16}) largest = std::max(largest, std::abs(int(a >> shift & 255) - int(b >> shift & 255)));
    return largest;
}

// Prints, for the area: the per-mille of non-black pixels and of dim grey ones (the haze the glow lays between
// the discs), a hash of them; the mirror test: of the pixel pairs mirrored across the ray straight down from the
// centre, within 3.5 degrees of it (inside the narrowest wedge, 360/94 degrees, and its mirror image), those not
// both black and those of unlike colours; and the area as one whole copy of the picture: of the pairs mirrored
// across its vertical centre line (the lowest 8 per cent, where the logo lies, left out), those not both black
// and those of unlike colours, the centre of brightness between the two bands 8 per cent high at the top and
// bottom, in per-mille of the area, and the pixels of the logo's band, right quarter, brighter than their mirror
// images: the faint logo.
bool describePicture(Display* display, Window window, int x, int y, int width, int height) {
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(display, window, &attributes)) return false;
    width = width > 0 ? width : attributes.width - x;
    height = height > 0 ? height : attributes.height - y;
    XImage* image = XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return false;
    const auto at = [&](int column, int row) { return XGetPixel(image, column, row) & 0xFFFFFF; };
    unsigned long long hash = 1469598103934665603ull, nonBlack = 0, haze = 0, pairs = 0, unlike = 0;
    unsigned long long wholePairs = 0, wholeUnlike = 0, logo = 0;
    const int band = height * 8 / 100;
    double mass = 0, massX = 0, massY = 0;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = at(column, row), mirror = at(width - 1 - column, row);
            const int light = distance(pixel, 0), mirrorLight = distance(mirror, 0);
            hash = (hash ^ pixel) * 1099511628211ull;
            nonBlack += light > 24;
            haze += pixel != 0 && light <= 24 && pixel == (pixel & 255) * 0x010101;
            if (row >= height - band) logo += column >= width * 3 / 4 && light > mirrorLight + 8;
            else if (column < width / 2 && (light > 24 || mirrorLight > 24))
                ++wholePairs, wholeUnlike += distance(pixel, mirror) > 24;
            if (row >= band && row < height - band)
                mass += light, massX += light * (column + 0.5), massY += light * (row + 0.5);
        }
    for (int down = 0; height / 2 + down < height; ++down)
        for (int side = 0; side + 0.5 < (down + 0.5) * 0.0612 && side < width / 2; ++side) {
            const unsigned long left = at(width / 2 - 1 - side, height / 2 + down);
            const unsigned long right = at(width / 2 + side, height / 2 + down);
            pairs += distance(left, 0) > 24 || distance(right, 0) > 24;
            unlike += distance(left, right) > 24;
        }
    XDestroyImage(image);
    const unsigned long long area = unsigned(width) * unsigned(height);
    const int centreX = mass > 0 ? int(massX / mass * 1000 / width) : 0;
    const int centreY = mass > 0 ? int(massY / mass * 1000 / height) : 0;
    std::printf("nonblack=%llu haze=%llu hash=%016llx mirror=%llu,%llu whole=%llu,%llu centre=%d,%d logo=%llu\n",
                nonBlack * 1000 / area, haze * 1000 / area, hash, pairs, unlike, wholePairs, wholeUnlike, centreX,
                centreY, logo);
    return true;
}

// Runs COMMAND and, as the subreaper of everything it starts, prints "PID STATUS" for each process below it that
// ends (128 + the signal for one a signal killed) until none is left.
int reap(char** command) {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    if (fork() == 0) {
        execvp(command[0], command);
        _exit(127);
    }
    int status = 0;
    for (pid_t pid; (pid = wait(&status)) > 0;) {
        std::printf("%d %d\n", int(pid), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "reap") == 0) return reap(argv + 2);
    Display* display = XOpenDisplay(nullptr);
    const std::string command = argc > 1 && display ? argv[1] : "", name = argc > 2 ? argv[2] : "";
    const Window target =
        name == "root" && display ? DefaultRootWindow(display) : std::strtoul(name.c_str(), nullptr, 0);
    auto number = [&](int i) { return i < argc ? std::atoi(argv[i]) : 0; };  // 0: to the window's edge
    if (command == "window") makeWindow(display, unsigned(number(2)), unsigned(number(3)));
    else if (command == "close") askToClose(display, target);
    else if (command == "active") makeActive(display, target);
    else if (command == "cursor") describeCursor(display);
    else if (command == "keys") { if (!pressKeys(display, argv + 2, argc - 2)) return 2; }
    else if (command != "picture" || !describePicture(display, target, number(3), number(4), number(5), number(6)))
        return 2;  // usage, with a display: x11_probe window W H | close ID | active ID | keys NAME... | cursor |
                   // picture ID|root [X Y W H]; with or without one, x11_probe reap COMMAND...
    XCloseDisplay(display);
    return 0;
}
