// The program's entry: runs the main dialog and returns 0, its exit code.
#include <windows.h>

#include "app/editor_dialog.h"
#include "app/window_services.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return runMainDialog(instance, mainDialogProc); }
