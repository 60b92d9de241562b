// The window services: the common-controls registration the main dialog needs, the modal run of the
// main dialog and the About box procedure.
#include "app/window_services.h"

#include <commctrl.h>

#include "resources/resource_ids.h"

// The main dialog's stream list is a "SysListView32" control; its template cannot be created
// until that class exists.
void registerWindowClasses() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&classes);
}

int runMainDialog(HINSTANCE instance, DLGPROC procedure) {
    Instance = instance;
    registerWindowClasses();
    // The loop ends with the quit message; a dialog that cannot be created (result -1 or 0)
    // ends the program the same way, with exit code 0.
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, procedure, 0);
    return 0;
}

// OK and Enter arrive as command 1, Escape and the close box as command 2: either ends the box
// with that ID. Everything else is left to the default dialog handling.
INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK || id == IDCANCEL) {
                EndDialog(dialog, id);
                return TRUE;
            }
            return FALSE;
        }
        default: return FALSE;
    }
}
