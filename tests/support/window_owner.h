#pragma once
// Whose a window is. Tests share one display with other test programs running at the same time, and
// nothing that reports a window limits itself to ours: FindWindow and EnumWindows list every
// program's windows, and Wine calls a thread's activation hook for another program's window too
// (when one of our windows goes while that one is in front, Wine tries to activate it from our
// thread). A window counts as a test's own only when its thread or process is the test's.

#include <windows.h>

inline bool madeByThisThread(HWND window) {
    return window != nullptr && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

inline bool madeByProcess(HWND window, DWORD process) {
    DWORD owner = 0;
    return window != nullptr && GetWindowThreadProcessId(window, &owner) != 0 && owner == process;
}
