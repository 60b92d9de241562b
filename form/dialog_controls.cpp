#include "form/dialog_controls.h"

HINSTANCE Instance = nullptr;
HWND MainDialog = nullptr;

HWND control(int id) { return GetDlgItem(MainDialog, id); }
