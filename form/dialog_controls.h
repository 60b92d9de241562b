#pragma once
// The handles the editor's windows share and the main dialog's controls by ID: what the form's
// control transfers reach the window system through.

#include <windows.h>

extern HINSTANCE Instance;
extern HWND MainDialog;

// The main dialog's control with this ID.
HWND control(int id);
