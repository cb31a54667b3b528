// The configuration dialog of the X11 host, drawn with plain Xlib: the "Use Mirrors" box, the version line,
// OK (stores the setting) and Cancel, usable with the keyboard and the mouse.
#include "host/saver_context.h"
#include "host/x11/x11_host.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <cstring>

namespace {

// Controls in tab order. Positions come from the dialog template's units at the classic 8-point font's
// scale (1.5 pixels across, 1.625 down), which suits the 6x13 "fixed" font.
enum Control { OkButton = 0, CancelButton = 1, MirrorsBox = 2, controlCount = 3 };

struct Rect {
    int x, y, width, height;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

int acrossUnits(int units) { return units * 3 / 2; }
int downUnits(int units) { return units * 13 / 8; }
Rect fromUnits(int x, int y, int width, int height) {
    return {acrossUnits(x), downUnits(y), acrossUnits(width), downUnits(height)};
}

const Rect controlRects[controlCount] = {
    fromUnits(172, 4, 50, 14),   // OK
    fromUnits(172, 23, 50, 14),  // Cancel
    fromUnits(9, 14, 60, 10),    // "Use Mirrors", a little wider than the template for the fixed font
};

struct StaticLine {
    int x, y;
    const char* text;
};
const StaticLine staticLines[] = {
    {7, 34, "Version " QUILLON_VERSION},
    {7, 55, "Quillon screen saver"},
    {7, 63, "Kaleidoscope of drifting discs"},
    {7, 78, "X11 host"},
};

class ConfigDialog {
public:
    explicit ConfigDialog(Window owner);
    ~ConfigDialog();
    void run();

private:
    void handle(const XEvent& event);
    void handleKey(XKeyEvent& key);
    void activate(Control control);
    void finish(bool store);
    void draw();
    void drawButton(Control control, const char* label);
    void drawCheckBox();
    void drawFocus(const Rect& rect);
    void text(int x, int y, const char* text);
    unsigned long color(const char* name, unsigned long fallback);
    int controlAt(int x, int y) const;
    Control defaultButton() const { return focus == CancelButton ? CancelButton : OkButton; }

    Display* display = saverDisplay;
    Window window = 0;
    GC gc = nullptr;
    XFontStruct* font = nullptr;
    Atom protocols = 0, deleteWindow = 0;
    unsigned long face = 0, light = 0, shadow = 0, ink = 0;
    int focus = OkButton;  // the first tab stop has the focus when the dialog opens
    int pressed = -1;      // the control a mouse button went down on
    bool checked = false;
    bool done = false;
};

ConfigDialog::ConfigDialog(Window owner) {
    const int screen = DefaultScreen(display);
    face = color("gray83", WhitePixel(display, screen));
    light = color("white", WhitePixel(display, screen));
    shadow = color("gray50", BlackPixel(display, screen));
    ink = BlackPixel(display, screen);
    checked = currentContext->useMirrors != 0;

    const int width = acrossUnits(228), height = downUnits(102);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = face;
    attributes.event_mask =
        ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask | FocusChangeMask;
    window = XCreateWindow(display, RootWindow(display, screen), 0, 0, unsigned(width), unsigned(height), 0,
                           CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);

    XStoreName(display, window, "Config dialog");
    XClassHint hint{const_cast<char*>("quillon"), const_cast<char*>("Quillon")};
    XSetClassHint(display, window, &hint);
    XSizeHints* size = XAllocSizeHints();
    size->flags = PMinSize | PMaxSize;
    size->min_width = size->max_width = width;
    size->min_height = size->max_height = height;
    XSetWMNormalHints(display, window, size);
    XFree(size);
    XWMHints* wm = XAllocWMHints();
    wm->flags = InputHint;
    wm->input = True;
    XSetWMHints(display, window, wm);
    XFree(wm);
    protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    const Atom dialogType = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display, window, type, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialogType), 1);
    XWindowAttributes ownerAttributes;
    if (owner && XGetWindowAttributes(display, owner, &ownerAttributes)) XSetTransientForHint(display, window, owner);

    font = XLoadQueryFont(display, "fixed");
    gc = XCreateGC(display, window, 0, nullptr);
    if (font) XSetFont(display, gc, font->fid);
}

ConfigDialog::~ConfigDialog() {
    if (font) XFreeFont(display, font);
    XFreeGC(display, gc);
    if (window) XDestroyWindow(display, window);
    XSync(display, False);
}

unsigned long ConfigDialog::color(const char* name, unsigned long fallback) {
    XColor shown, exact;
    const Colormap map = DefaultColormap(display, DefaultScreen(display));
    return XAllocNamedColor(display, map, name, &shown, &exact) ? shown.pixel : fallback;
}

void ConfigDialog::run() {
    XMapRaised(display, window);
    while (!done && !stopSignalled) {
        while (!done && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            handle(event);
        }
        if (done) break;
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, 250);  // a signal interrupts it; the timeout covers one arriving just before
    }
}

int ConfigDialog::controlAt(int x, int y) const {
    for (int i = 0; i < controlCount; ++i)
        if (controlRects[i].contains(x, y)) return i;
    return -1;
}

void ConfigDialog::handle(const XEvent& event) {
    switch (event.type) {
    case MapNotify:
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        break;
    case Expose:
        if (event.xexpose.count == 0) draw();
        break;
    case KeyPress: {
        XKeyEvent key = event.xkey;
        handleKey(key);
        break;
    }
    case ButtonPress:
        if (event.xbutton.button == Button1) {
            pressed = controlAt(event.xbutton.x, event.xbutton.y);
            if (pressed >= 0) focus = pressed;
            draw();
        }
        break;
    case ButtonRelease:
        if (event.xbutton.button == Button1 && pressed >= 0) {
            const int released = controlAt(event.xbutton.x, event.xbutton.y);
            const int wasPressed = pressed;
            pressed = -1;
            if (released == wasPressed) activate(Control(released));
            else draw();
        }
        break;
    case ClientMessage:
        if (event.xclient.message_type == protocols && Atom(event.xclient.data.l[0]) == deleteWindow) finish(false);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == window) {
            window = 0;  // destroyed by someone else: the dialog ends, as Cancel
            done = true;
        }
        break;
    default:
        break;
    }
}

void ConfigDialog::handleKey(XKeyEvent& key) {
    const KeySym symbol = XLookupKeysym(&key, 0);
    if (symbol == XK_Tab || symbol == XK_ISO_Left_Tab) {
        const bool back = symbol == XK_ISO_Left_Tab || (key.state & ShiftMask);
        focus = (focus + (back ? controlCount - 1 : 1)) % controlCount;
        draw();
    } else if (symbol == XK_space) {
        activate(Control(focus));
    } else if (symbol == XK_Return || symbol == XK_KP_Enter) {
        activate(defaultButton());
    } else if (symbol == XK_Escape) {
        finish(false);
    }
}

void ConfigDialog::activate(Control control) {
    if (control == OkButton) {
        finish(true);
    } else if (control == CancelButton) {
        finish(false);
    } else {
        checked = !checked;
        draw();
    }
}

// OK keeps a stored non-zero value other than 1 when the box was left on.
void ConfigDialog::finish(bool store) {
    if (store) {
        if (checked != (currentContext->useMirrors != 0)) currentContext->useMirrors = checked ? 1 : 0;
        currentContext->storeSaverSettings();
    }
    done = true;
}

void ConfigDialog::text(int x, int y, const char* string) {
    const int ascent = font ? font->ascent : 11;
    XSetForeground(display, gc, ink);
    XDrawString(display, window, gc, x, y + ascent, string, int(std::strlen(string)));
}

int textWidth(XFontStruct* font, const char* string) {
    return font ? XTextWidth(font, string, int(std::strlen(string))) : 6 * int(std::strlen(string));
}

void ConfigDialog::drawFocus(const Rect& r) {
    XSetForeground(display, gc, ink);
    XSetLineAttributes(display, gc, 1, LineOnOffDash, CapButt, JoinMiter);
    const char dashes[] = {1, 1};
    XSetDashes(display, gc, 0, dashes, 2);
    XDrawRectangle(display, window, gc, r.x, r.y, unsigned(r.width - 1), unsigned(r.height - 1));
    XSetLineAttributes(display, gc, 1, LineSolid, CapButt, JoinMiter);
}

void ConfigDialog::drawButton(Control control, const char* label) {
    const Rect r = controlRects[control];
    const bool sunken = pressed == control;
    XSetForeground(display, gc, face);
    XFillRectangle(display, window, gc, r.x, r.y, unsigned(r.width), unsigned(r.height));
    XSetForeground(display, gc, sunken ? shadow : light);
    XDrawLine(display, window, gc, r.x, r.y, r.x + r.width - 1, r.y);
    XDrawLine(display, window, gc, r.x, r.y, r.x, r.y + r.height - 1);
    XSetForeground(display, gc, sunken ? light : shadow);
    XDrawLine(display, window, gc, r.x, r.y + r.height - 1, r.x + r.width - 1, r.y + r.height - 1);
    XDrawLine(display, window, gc, r.x + r.width - 1, r.y, r.x + r.width - 1, r.y + r.height - 1);
    if (control == defaultButton()) {
        XSetForeground(display, gc, ink);
        XDrawRectangle(display, window, gc, r.x - 1, r.y - 1, unsigned(r.width + 1), unsigned(r.height + 1));
    }
    const int labelX = r.x + (r.width - textWidth(font, label)) / 2;
    text(labelX + (sunken ? 1 : 0), r.y + (r.height - 13) / 2 + (sunken ? 1 : 0), label);
    if (focus == control) drawFocus({r.x + 3, r.y + 3, r.width - 6, r.height - 6});
}

void ConfigDialog::drawCheckBox() {
    const Rect r = controlRects[MirrorsBox];
    const int box = 13, boxY = r.y + (r.height - box) / 2;
    XSetForeground(display, gc, light);
    XFillRectangle(display, window, gc, r.x, boxY, box, box);
    XSetForeground(display, gc, shadow);
    XDrawRectangle(display, window, gc, r.x, boxY, box - 1, box - 1);
    if (checked) {
        XSetForeground(display, gc, ink);
        XSetLineAttributes(display, gc, 2, LineSolid, CapButt, JoinMiter);
        XDrawLine(display, window, gc, r.x + 3, boxY + 6, r.x + 5, boxY + 9);
        XDrawLine(display, window, gc, r.x + 5, boxY + 9, r.x + 10, boxY + 3);
        XSetLineAttributes(display, gc, 1, LineSolid, CapButt, JoinMiter);
    }
    const char* label = "Use Mirrors";
    const int labelX = r.x + box + 5, labelY = r.y + (r.height - 13) / 2;
    text(labelX, labelY, label);
    if (focus == MirrorsBox) drawFocus({labelX - 2, labelY, textWidth(font, label) + 4, 14});
}

void ConfigDialog::draw() {
    if (!window) return;
    XClearWindow(display, window);
    for (const StaticLine& line : staticLines) text(acrossUnits(line.x), downUnits(line.y), line.text);
    drawButton(OkButton, "OK");
    drawButton(CancelButton, "Cancel");
    drawCheckBox();
    XFlush(display);
}

}  // namespace

void runConfigDialog(Window owner) {
    ConfigDialog dialog(owner);
    dialog.run();
}
