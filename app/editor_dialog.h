#pragma once
// The main dialog procedure: start-up, and every command and notification by control ID and code.

#include <windows.h>

extern bool FileLoaded;  // set by every successful Open; decides whether closing asks to save

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
