// Process entry of the X11 host: xscreensaver's options and the Windows-style switches, the one
// SaverContext, and the single action the run mode asks for.
#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/x11/x11_host.h"

#include <X11/Xatom.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

Display* saverDisplay = nullptr;
volatile std::sig_atomic_t stopSignalled = 0;

namespace {

const char usage[] =
    "Usage: quillon [options]\n"
    "  --root             draw on the window in XSCREENSAVER_WINDOW, else on the root window\n"
    "  --window-id ID     draw into the existing window ID (decimal or 0x hex); wins over --root\n"
    "  --window           draw in an ordinary window to try it out (Escape or q closes it)\n"
    "  --mirrors          draw the mirrored copies, whatever the stored setting says\n"
    "  --no-mirrors       leave the mirrored copies out (without either, the stored setting applies)\n"
    "  --fps, --no-fps    show the frame rate and the time a frame takes in the lower left corner, or not\n"
    "  --glow, --no-glow  the soft glow on (the default, where the driver allows it) or off\n"
    "  --help             show this text\n"
    "  --version          print the version\n"
    "  /s                 full-screen saver: a key, a click or moving the mouse ends it\n"
    "  /p ID, /l ID       preview inside window ID (decimal)\n"
    "  /c                 settings dialog (also with no option at all)\n"
    "Options may also be written with one dash (-root, -window-id ...); the last of a pair wins.\n"
    "Keys while it runs: space, arrows (fewer/more wedges, spin, reshuffle), 1-9 and 0 (wedge count),\n"
    "M (mirrors), S (glow). Under xscreensaver, xscreensaver itself ends the saver.\n";

struct Options {
    bool help = false;
    bool version = false;
    int mirrors = -1;  // -1: the stored setting; 0 or 1 from --no-mirrors or --mirrors
    RunOptions run;
    bool root = false;
    bool tryOutWindow = false;
    const char* windowId = nullptr;  // --window-id's argument
    const char* unknown = nullptr;   // the first option that is none of ours
    std::string commandLine;         // everything else, program name first, for parseCommandLine
};

// "--name" or "-name".
bool isOption(const char* argument, const char* name) {
    if (argument[0] != '-') return false;
    const char* rest = argument[1] == '-' ? argument + 2 : argument + 1;
    return std::strcmp(rest, name) == 0;
}

// What parseCommandLine takes by the Windows rules: '/' and anything, a word without a dash (the number after
// /p), or one dash with at most one letter and then only digits and colons (-s, -p1234, -c:5, a lone -).
bool isWindowsSwitch(const char* argument) {
    if (argument[0] != '-') return true;
    const char* rest = argument + 1 + (std::isalpha(static_cast<unsigned char>(argument[1])) ? 1 : 0);
    return std::strspn(rest, "0123456789:") == std::strlen(rest);
}

// A window id in decimal or 0x hex; false when it is not one.
bool parseWindowId(const char* text, Window& window) {
    if (!text || !*text) return false;
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(hex ? text + 2 : text, &end, hex ? 16 : 10);
    if (errno != 0 || end == (hex ? text + 2 : text) || *end != '\0' || value == 0 || value > 0xFFFFFFFFull)
        return false;
    window = Window(value);
    return true;
}

Options readOptions(int argc, char** argv) {
    Options options;
    const std::string program = argc > 0 ? argv[0] : "quillon";
    options.commandLine = program.find(' ') == std::string::npos ? program : "\"" + program + "\"";
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (isOption(argument, "help")) options.help = true;
        else if (isOption(argument, "version")) options.version = true;
        else if (isOption(argument, "mirrors")) options.mirrors = 1;
        else if (isOption(argument, "no-mirrors")) options.mirrors = 0;
        else if (isOption(argument, "fps")) options.run.showFrameRate = true;
        else if (isOption(argument, "no-fps")) options.run.showFrameRate = false;
        else if (isOption(argument, "glow")) options.run.glow = true;
        else if (isOption(argument, "no-glow")) options.run.glow = false;
        else if (isOption(argument, "root")) options.root = true;
        else if (isOption(argument, "window")) options.tryOutWindow = true;
        else if (isOption(argument, "window-id")) options.windowId = i + 1 < argc ? argv[++i] : "";
        else if (isWindowsSwitch(argument)) options.commandLine += std::string(" ") + argument;
        else if (!options.unknown) options.unknown = argument;
    }
    return options;
}

// A mistake on the command line: one line that names it, then the usage, and exit status 1.
int usageError(const char* format, const char* what) {
    std::fprintf(stderr, format, what);
    std::fputs(usage, stderr);
    return 1;
}

// The window xscreensaver made for us, else the root window; never one of our own.
Window rootTarget() {
    Window window = 0;
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (named && *named && !parseWindowId(named, window))
        std::fprintf(stderr, "quillon: XSCREENSAVER_WINDOW=%s is not a window id; using the root window\n", named);
    return window ? window : DefaultRootWindow(saverDisplay);
}

// The window that has the focus according to the window manager, or none.
Window activeWindow() {
    const Atom active = XInternAtom(saverDisplay, "_NET_ACTIVE_WINDOW", True);
    if (active == None) return 0;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    Window window = 0;
    if (XGetWindowProperty(saverDisplay, DefaultRootWindow(saverDisplay), active, 0, 1, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        window = Window(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return window;
}

// Errors about windows that went away (the preview host closing, say) are expected; none is fatal.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

// The server went away (the session ending, the server killed) while we drew: nothing is left to tear down.
// One line says so and the status is a failure, for whoever started us to see.
int onLostDisplay(Display* display) {
    std::fprintf(stderr, "quillon: lost the connection to the X display %s\n", DisplayString(display));
    std::_Exit(1);
}

void onStopSignal(int) { stopSignalled = 1; }

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: the frame loop's sleep returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool openDisplay() {
    saverDisplay = XOpenDisplay(nullptr);
    if (!saverDisplay) {
        std::fprintf(stderr, "quillon: cannot open the X display\n");
        return false;
    }
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(onLostDisplay);
    return true;
}

// A window given with --window-id wins over --root, which wins over --window and the Windows switches.
void carryOut(const Options& options, const CommandLine& command, Window given) {
    const bool fromXScreenSaver = options.root || options.windowId;
    if (!fromXScreenSaver && !options.tryOutWindow &&
        (command.mode == SaverMode::Unset || command.mode == SaverMode::ChangePassword))
        return;  // no password service here; an unknown switch shows nothing
    if (!openDisplay()) return;

    if (given) {
        runSaverWindow(SaverTarget::Foreign, given, options.run);
    } else if (options.root) {
        runSaverWindow(SaverTarget::Foreign, rootTarget(), options.run);
    } else if (options.tryOutWindow) {
        runSaverWindow(SaverTarget::TryOutWindow, 0, options.run);
    } else if (command.mode == SaverMode::Configure) {
        runConfigDialog(command.ownerIsForeground ? activeWindow() : Window(uint32_t(command.window)));
    } else if (command.mode == SaverMode::Preview) {
        runSaverWindow(SaverTarget::Foreign, Window(uint32_t(command.window)), options.run);
    } else if (command.mode == SaverMode::Saver) {
        runSaverWindow(SaverTarget::FullScreen, 0, options.run);
    }
    XCloseDisplay(saverDisplay);
    saverDisplay = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = readOptions(argc, argv);
    if (options.unknown) return usageError("quillon: unknown option %s\n", options.unknown);
    Window given = 0;
    if (options.windowId && !parseWindowId(options.windowId, given))
        return usageError("quillon: --window-id needs a window id, not \"%s\"\n", options.windowId);
    if (options.help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("quillon %s\n", QUILLON_VERSION);
        return 0;
    }
    catchStopSignals();

    // xscreensaver's options come first; they draw inside a window, as the preview does.
    CommandLine command;
    if (options.root || options.windowId || options.tryOutWindow) currentMode = SaverMode::Preview;
    else command = parseCommandLine(options.commandLine.c_str());

    currentContext = new (std::nothrow) SaverContext;
    if (!currentContext) return 0;
    currentContext->loadSystemSettings();
    currentContext->loadSaverSettings();
    // The stored setting applies only when the command line says nothing about the mirrors.
    if (options.mirrors >= 0 && currentMode != SaverMode::Configure)
        currentContext->useMirrors = uint32_t(options.mirrors);

    carryOut(options, command, given);

    delete currentContext;
    currentContext = nullptr;
    return 0;
}
