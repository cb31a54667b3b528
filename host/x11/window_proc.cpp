// The saver window's event handling: the closing rules of the full-screen mode, the close request and
// password-check operations of SaverContext, the cursor, and X key symbols turned into virtual-key codes.
#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/x11/x11_host.h"
#include "scene/kaleidoscope.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>

SaverWindowState saverWindowState;

namespace {

// Windows mouse-button state bits, the word a button message carries.
constexpr uint32_t mkLButton = 0x1, mkRButton = 0x2, mkShift = 0x4, mkControl = 0x8, mkMButton = 0x10;

// Saver rules: the full-screen mode. Input rules: those, and no password check running.
bool saverRules() { return currentMode == SaverMode::Saver && saverWindowState.target == SaverTarget::FullScreen; }
bool inputRules() { return saverRules() && currentContext && currentContext->checkingPassword == 0; }

// X11 has no screen-saver password service of its own for us to call; as when the service is missing on
// Windows, the close goes ahead.
bool verifySaverPassword() { return true; }

// Hides the window at once and ends the loop; the window itself goes after the GL context (saver_window.cpp).
void destroySaverWindow() {
    if (saverWindowState.target != SaverTarget::Foreign) XUnmapWindow(saverDisplay, saverWindowState.window);
    saverWindowState.quit = true;
}

void closeSequence() {
    SaverContext& context = *currentContext;
    if (context.closeRequested == 0 || context.checkingPassword != 0) return;
    if (withinGracePeriod(context.startTick, tickCount(), context.passwordDelay)) {
        destroySaverWindow();
        return;
    }
    context.beginPasswordCheck();
    const bool verified = verifySaverPassword();
    context.endPasswordCheck();
    if (verified) destroySaverWindow();
}

// The button word of a press, as Windows reports it: every button now down, the new one included, and
// the Shift and Ctrl state. None of these words is a scene command, so a click closes the saver.
uint32_t buttonWord(const XButtonEvent& button) {
    uint32_t word = 0;
    if (button.state & Button1Mask || button.button == Button1) word |= mkLButton;
    if (button.state & Button3Mask || button.button == Button3) word |= mkRButton;
    if (button.state & Button2Mask || button.button == Button2) word |= mkMButton;
    if (button.state & ShiftMask) word |= mkShift;
    if (button.state & ControlMask) word |= mkControl;
    return word;
}

void offerToScene(uint32_t code) {
    if (currentScene && currentScene->handleKey(code)) return;
    currentContext->requestClose();
}

// Losing the keyboard focus to another window counts as deactivation; the focus moving within our own
// window or along with a grab does not.
bool isDeactivation(const XFocusChangeEvent& focus) {
    if (focus.mode != NotifyNormal && focus.mode != NotifyWhileGrabbed) return false;
    return focus.detail == NotifyAncestor || focus.detail == NotifyVirtual || focus.detail == NotifyNonlinear ||
           focus.detail == NotifyNonlinearVirtual;
}

bool isCloseMessage(const XClientMessageEvent& message) {
    return message.message_type == saverWindowState.protocolsAtom && message.format == 32 &&
           Atom(message.data.l[0]) == saverWindowState.deleteWindowAtom;
}

void fullScreenEvent(const XEvent& event) {
    switch (event.type) {
    case KeyPress:
        if (inputRules()) offerToScene(virtualKeyFor(event.xkey));
        break;
    case ButtonPress:
        // Wheel and extra buttons are not button-down messages on Windows and close nothing.
        if (inputRules() && event.xbutton.button >= Button1 && event.xbutton.button <= Button3)
            offerToScene(buttonWord(event.xbutton));
        break;
    case MotionNotify:
        if (inputRules() &&
            cursorBeyondThreshold(currentContext->startCursor, queryCursor(), currentContext->mouseThreshold))
            currentContext->requestClose();
        break;
    case FocusOut:
        if (inputRules() && isDeactivation(event.xfocus)) currentContext->requestClose();
        break;
    case ClientMessage:
        if (isCloseMessage(event.xclient)) closeSequence();
        break;
    default:
        break;
    }
}

// The try-out window: the scene's keys work, Escape, q and the window manager's close end it.
void tryOutEvent(const XEvent& event) {
    if (event.type == KeyPress) {
        const KeySym symbol = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
        if (symbol == XK_Escape || symbol == XK_q) destroySaverWindow();
        else if (currentScene) currentScene->handleKey(virtualKeyFor(event.xkey));
    } else if (event.type == ClientMessage && isCloseMessage(event.xclient)) {
        destroySaverWindow();
    }
}

// The digit row by position: the keys XKB names AE01 to AE10 carry 1 to 9 and 0 on a US layout, and give
// those digits on every layout, as the row's virtual keys do on Windows. 0 for any other key.
uint32_t digitRowKey(unsigned keycode) {
    XkbDescPtr keyboard = XkbGetMap(saverDisplay, 0, XkbUseCoreKbd);
    uint32_t digit = 0;
    if (keyboard && XkbGetNames(saverDisplay, XkbKeyNamesMask, keyboard) == Success && keyboard->names &&
        keycode >= keyboard->min_key_code && keycode <= keyboard->max_key_code) {
        const char* name = keyboard->names->keys[keycode].name;  // four characters, NUL-padded
        for (int position = 1; position <= 10 && !digit; ++position) {
            char rowName[8];
            std::snprintf(rowName, sizeof rowName, "AE%02d", position);
            if (std::strncmp(name, rowName, XkbKeyNameLength) == 0) digit = uint32_t('0' + position % 10);
        }
    }
    if (keyboard) XkbFreeKeyboard(keyboard, 0, True);
    return digit;
}

}  // namespace

uint32_t tickCount() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

CursorPoint queryCursor() {
    Window root, child;
    int rootX = 0, rootY = 0, windowX, windowY;
    unsigned int mask;
    XQueryPointer(saverDisplay, DefaultRootWindow(saverDisplay), &root, &child, &rootX, &rootY, &windowX, &windowY,
                  &mask);
    return CursorPoint{rootX, rootY};
}

void updateSaverCursor() {
    if (saverWindowState.target != SaverTarget::FullScreen) return;
    XDefineCursor(saverDisplay, saverWindowState.window,
                  inputRules() ? saverWindowState.hiddenCursor : saverWindowState.arrowCursor);
    XFlush(saverDisplay);
}

// The digit row goes by position; letters keep their code whatever the shift state, as virtual keys do;
// keypad keys follow Num Lock. Everything else becomes 0x100, which no part of the scene takes.
uint32_t virtualKeyFor(XKeyEvent key) {
    if (const uint32_t digit = digitRowKey(key.keycode)) return digit;
    KeySym symbol = XLookupKeysym(&key, 0);
    if (IsKeypadKey(symbol) || IsPrivateKeypadKey(symbol)) {
        char text[8];
        XLookupString(&key, text, sizeof text, &symbol, nullptr);
    }
    if (symbol >= XK_a && symbol <= XK_z) return uint32_t(symbol - XK_a + 'A');
    if (symbol >= XK_A && symbol <= XK_Z) return uint32_t(symbol - XK_A + 'A');
    if (symbol >= XK_0 && symbol <= XK_9) return uint32_t(symbol - XK_0 + '0');
    if (symbol >= XK_KP_0 && symbol <= XK_KP_9) return uint32_t(symbol - XK_KP_0 + 96);  // VK_NUMPAD0..9
    switch (symbol) {
    case XK_space: case XK_KP_Space: return vk::space;
    case XK_Left: case XK_KP_Left: return vk::left;
    case XK_Up: case XK_KP_Up: return vk::up;
    case XK_Right: case XK_KP_Right: return vk::right;
    case XK_Down: case XK_KP_Down: return vk::down;
    case XK_Escape: return 27;
    case XK_Return: case XK_KP_Enter: return 13;
    default: return 0x100;
    }
}

void saverWindowProc(const XEvent& event) {
    const SaverWindowState& state = saverWindowState;
    if (event.type == MappingNotify) {  // a new layout; Xlib follows XKB's changes itself, core ones need this
        XRefreshKeyboardMapping(const_cast<XMappingEvent*>(&event.xmapping));
        return;
    }
    if (event.type == DestroyNotify && event.xdestroywindow.window == state.window) {
        saverWindowState.quit = true;  // the window is gone under us: nothing left to draw into
        return;
    }
    if (isScreenChange(event)) {  // monitors added, removed or resized: our own full-screen window follows
        if (state.target == SaverTarget::FullScreen) {
            const int screen = DefaultScreen(saverDisplay);
            XMoveResizeWindow(saverDisplay, state.window, 0, 0, unsigned(DisplayWidth(saverDisplay, screen)),
                              unsigned(DisplayHeight(saverDisplay, screen)));
        }
        saverWindowState.sizeChanged = true;  // and the monitors are read again
        return;
    }
    if (event.type == ConfigureNotify && event.xconfigure.window == state.window &&
        (event.xconfigure.width != state.width || event.xconfigure.height != state.height)) {
        saverWindowState.width = event.xconfigure.width;
        saverWindowState.height = event.xconfigure.height;
        saverWindowState.sizeChanged = true;
        return;
    }
    if (state.target == SaverTarget::FullScreen) fullScreenEvent(event);
    else if (state.target == SaverTarget::TryOutWindow) tryOutEvent(event);
}

// Posts the close to our own window; the close sequence runs when the loop takes it from the queue.
void SaverContext::requestClose() {
    closeRequested = 1;
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = Window(window);
    message.xclient.message_type = saverWindowState.protocolsAtom;
    message.xclient.format = 32;
    message.xclient.data.l[0] = long(saverWindowState.deleteWindowAtom);
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(saverDisplay, Window(window), False, NoEventMask, &message);
    XFlush(saverDisplay);
}

void SaverContext::beginPasswordCheck() {
    checkingPassword = 1;
    updateSaverCursor();
}

void SaverContext::endPasswordCheck() {
    checkingPassword = 0;
    updateSaverCursor();
    startCursor = queryCursor();
}
