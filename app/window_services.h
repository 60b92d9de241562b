#pragma once
// The window services the editor's logic relies on: the instance and main dialog handles, control
// access by ID, the common-controls registration, the modal run of the main dialog and the About box.

#include <windows.h>

extern HINSTANCE Instance;
extern HWND MainDialog;

// The main dialog's control with this ID.
HWND control(int id);

// Makes the list view class exist before the main dialog is created.
void registerWindowClasses();

// Runs the main dialog (template IDD_MAIN) modally with no owner; returns 0 when its loop ends,
// and 0 at once when the dialog cannot be created.
int runMainDialog(HINSTANCE instance, DLGPROC procedure);

INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
