// The process entry: parse the switch, load the settings, carry out one action, exit with 0.
#include <windows.h>

#include <new>

#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/win32/win32_host.h"


void changeSaverPassword(HWND parent) {
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (!library) return;
    using ChangeFunction = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
    auto change = reinterpret_cast<ChangeFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "PwdChangePasswordA")));
    if (change) change("SCRSAVE", parent, 0, nullptr);
    FreeLibrary(library);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    moduleInstance = instance;
    const CommandLine commandLine = parseCommandLine(GetCommandLineA());
    // The number is a 32-bit window handle value; sign extension gives the 64-bit handle.
    HWND window = commandLine.ownerIsForeground
                      ? GetForegroundWindow()
                      : reinterpret_cast<HWND>(static_cast<intptr_t>(commandLine.window));

    currentContext = new (std::nothrow) SaverContext;
    if (!currentContext) return 0;  // no settings record: nothing can be shown
    currentContext->loadSystemSettings();
    currentContext->loadSaverSettings();

    switch (currentMode) {
    case SaverMode::ChangePassword:
        changeSaverPassword(window);
        break;
    case SaverMode::Configure:
        DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(104), window, configDialogProc, 0);
        break;
    case SaverMode::Preview:
    case SaverMode::Saver:
        runSaverWindow(window, showCommand);
        break;
    case SaverMode::Unset:
        break;
    }

    delete currentContext;
    currentContext = nullptr;
    return 0;
}
