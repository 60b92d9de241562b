#pragma once
// The window services the editor's logic relies on: the common-controls registration, the modal run
// of the main dialog and the About box; the shared handles and control access by ID come with the form.

#include <windows.h>

#include "form/dialog_controls.h"

// Makes the list view class exist before the main dialog is created.
void registerWindowClasses();

// Runs the main dialog (template IDD_MAIN) modally with no owner; returns 0 when its loop ends,
// and 0 at once when the dialog cannot be created.
int runMainDialog(HINSTANCE instance, DLGPROC procedure);

INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
