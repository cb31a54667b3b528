// The Windows host's process-wide handles and operations (entry, saver window, monitors, window procedure, dialog).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "scene/kaleidoscope.h"

extern HINSTANCE moduleInstance;
extern HWND saverWindow;

// Entry actions.
void changeSaverPassword(HWND parent);
void runSaverWindow(HWND parent, int showCommand);

// The "OpenGL" window class; false when RegisterClassA fails.
bool registerSaverClass();
// The pixel format the saver window asks for: RGBA, 32 colour bits, double-buffered OpenGL in a window.
PIXELFORMATDESCRIPTOR pixelFormatRequest();

// The full-screen saver's monitors (host/win32/monitors.cpp): the virtual screen, which may start left
// of or above the primary monitor, and each display's rectangle, both in screen pixels.
PixelRect virtualScreen();
std::vector<PixelRect> monitorRects();
// Covers the virtual screen with the window and gives the scene, if there is one yet, one view per
// monitor; the animation carries on. At set-up and on every display change.
void layOutSaverWindow(HWND window);

LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Non-zero when the close may go ahead.
BOOL verifySaverPassword(HWND window);

// The window procedure reads the tick count and verifies the password through these two, so a
// test can drive the grace period and stand in for the password dialog without waiting.
extern DWORD (*saverTickSource)();
extern BOOL (*saverPasswordCheck)(HWND window);

// Called after each frame is drawn, before it is presented (null: none), so a test can read the
// back buffer even where the system does not show a child window's OpenGL drawing on screen.
extern void (*saverFrameDrawn)();
