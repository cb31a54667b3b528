// The configuration dialog (resource 104): the "Use Mirrors" box shows and sets the stored setting.
#include <windows.h>

#include "host/saver_context.h"
#include "host/win32/win32_host.h"

namespace {
constexpr int useMirrorsBox = 1001;
}

INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (currentContext)
            CheckDlgButton(dialog, useMirrorsBox, currentContext->useMirrors ? BST_CHECKED : BST_UNCHECKED);
        return 1;  // the system focuses the first tab stop, OK
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (currentContext) {
                currentContext->useMirrors = IsDlgButtonChecked(dialog, useMirrorsBox) == BST_CHECKED ? 1 : 0;
                currentContext->storeSaverSettings();
            }
            EndDialog(dialog, 1);
            break;
        case IDCANCEL:
            EndDialog(dialog, 2);
            break;
        default:
            break;  // the automatic check box toggles itself
        }
        return 0;
    default:
        return 0;
    }
}
