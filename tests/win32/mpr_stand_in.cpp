// Stands in for the system's MPR.DLL when the built saver's /a switch is tested: it shows what
// PwdChangePasswordA was given by writing the provider name into the parent window's title.
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD flags,
                                                                 LPVOID reserved) {
    SetWindowTextA(parent, flags == 0 && reserved == nullptr ? provider : "unexpected arguments");
    return 0;
}
